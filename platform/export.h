// Visibility of the stand-in's names: everything hidden unless marked.
#pragma once

#define SERV_EXPORT __attribute__((visibility("default")))
