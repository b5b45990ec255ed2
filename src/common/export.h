// Visibility of the library's names: everything is hidden unless marked.
#pragma once

#define VEXA_EXPORT __attribute__((visibility("default")))
#define VEXA_HIDDEN __attribute__((visibility("hidden")))
#define VEXA_INLINE inline __attribute__((always_inline))
