// Writes the vector-math lookup tables: gen_vm_tables OUTPUT_FILE
#include <cstdio>

#include "vm_tables_gen.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FILE\n", argv[0]);
        return 2;
    }
    std::FILE* f = std::fopen(argv[1], "w");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const std::string text = vexa::tools::generate_exp_ln_tables();
    std::fwrite(text.data(), 1, text.size(), f);
    return std::fclose(f) == 0 ? 0 : 1;
}
