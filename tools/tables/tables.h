// The generated table files: each committed file is the output of one
// generator here, from the definitions of its tables. gen_tables writes them
// (cmake --build --preset native --target regenerate_tables) and the tables
// test regenerates every one and compares.
//
// A new family's tables: a generator function in a file of its own here, a
// row in kTableFiles, and the output committed under the path of the row.
#pragma once

#include <string>

namespace vexa::tools {

std::string generate_exp_tables();
std::string generate_ln_tables();
std::string generate_wh_tables();
std::string generate_trig_tables();
std::string generate_erf_tables();
std::string generate_gamma_tables();
std::string generate_twister_tables();

struct TableFile {
    const char* path;  // from the project root
    std::string (*generate)();
};

inline constexpr TableFile kTableFiles[] = {
    {"src/vector_math/tables/exp_tables.cpp", generate_exp_tables},
    {"src/vector_math/tables/ln_tables.cpp", generate_ln_tables},
    {"src/vector_math/tables/trig_tables.cpp", generate_trig_tables},
    {"src/vector_math/tables/erf_tables.cpp", generate_erf_tables},
    {"src/vector_math/tables/gamma_tables.cpp", generate_gamma_tables},
    {"src/random/tables/wh_tables.cpp", generate_wh_tables},
    {"src/random/tables/twister_tables.cpp", generate_twister_tables},
};

// Helpers of the floating-point generators (mpfr_writer.cpp).
struct TableWriter {
    std::string s;
    int column = 0;
    // Opens the file: its header comment, include and namespace.
    TableWriter(const char* generator, const char* header, const char* ns);
    void begin(const char* comment, const char* decl);
    void value(double d);
    void end();
    std::string finish();
};

}  // namespace vexa::tools
