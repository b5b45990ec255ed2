// Every committed table file is exactly what its generator produces.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tables.h"

TEST(Tables, EveryCommittedTableFileMatchesItsDefinitions) {
    for (const auto& t : vexa::tools::kTableFiles) {
        std::ifstream in(std::string(VEXA_SOURCE_DIR) + "/" + t.path);
        ASSERT_TRUE(in.good()) << t.path;
        std::stringstream committed;
        committed << in.rdbuf();
        EXPECT_EQ(committed.str(), t.generate())
            << t.path << ": regenerate with cmake --build --preset native --target regenerate_tables";
    }
}
