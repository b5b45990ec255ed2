// The committed lookup tables are exactly what the generator produces.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "vm_tables_gen.h"

TEST(Tables, CommittedTablesMatchTheirDefinitions) {
    std::ifstream in(std::string(VEXA_SOURCE_DIR) + "/src/vector_math/tables/exp_ln_tables.cpp");
    std::stringstream committed;
    committed << in.rdbuf();
    EXPECT_EQ(committed.str(), vexa::tools::generate_exp_ln_tables())
        << "regenerate with: cmake --build --preset native --target regenerate_tables";
}
