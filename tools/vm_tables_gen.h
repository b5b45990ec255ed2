// Produces the text of src/vector_math/tables/exp_ln_tables.cpp from the
// definitions of its tables, computed with MPFR.
#pragma once

#include <string>

namespace vexa::tools {

std::string generate_exp_ln_tables();

}  // namespace vexa::tools
