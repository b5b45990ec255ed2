// The MT2203 parameter sets: mt2203_sets check A [B C] tells whether the
// twister with constant A (hex) has the maximal period and, with tempering
// masks B and C, prints its dimensions of equidistribution k(1..32) and
// their deficit from floor(2203 / v); mt2203_sets search K finds the
// constant and masks of set K by the search rule.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mt2203_search.h"

using namespace vexa::tools;

namespace {

void print(uint32_t a, uint32_t b, uint32_t c) {
    const Equidistribution e = mt2203_equidistribution(a, b, c);
    std::printf("a %08x b %08x c %08x deficit %d k:", a, b, c, e.deficit);
    for (int v = 1; v <= 32; ++v) std::printf(" %d", e.k[v]);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "check") == 0) {
        const uint32_t a = uint32_t(std::strtoul(argv[2], nullptr, 16));
        const bool primitive = mt2203_primitive(a);
        std::printf("a %08x: %s\n", a, primitive ? "maximal period" : "not primitive");
        if (primitive && argc >= 5) print(a, uint32_t(std::strtoul(argv[3], nullptr, 16)), uint32_t(std::strtoul(argv[4], nullptr, 16)));
        return primitive ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "search") == 0) {
        const int k = std::atoi(argv[2]);
        const uint32_t a = mt2203_search(k, {});
        uint32_t b, c;
        mt2203_tempering(a, b, c);
        print(a, b, c);
        return 0;
    }
    std::fprintf(stderr, "usage: %s check A [B C] | search K\n", argv[0]);
    return 2;
}
