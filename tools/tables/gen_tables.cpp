// Writes every generated table file: gen_tables SOURCE_DIR
#include <cstdio>
#include <string>

#include "tables.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SOURCE_DIR\n", argv[0]);
        return 2;
    }
    int status = 0;
    for (const auto& t : vexa::tools::kTableFiles) {
        const std::string path = std::string(argv[1]) + "/" + t.path;
        std::FILE* f = std::fopen(path.c_str(), "w");
        if (f == nullptr) {
            std::perror(path.c_str());
            status = 1;
            continue;
        }
        const std::string text = t.generate();
        std::fwrite(text.data(), 1, text.size(), f);
        if (std::fclose(f) != 0) status = 1;
    }
    return status;
}
