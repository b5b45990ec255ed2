// The catalogue's shape (the documented counts) and the tables generated from it.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "vexa/vector_math.h"

namespace {

struct Row {
    bool built;
    std::string type, name, cls, pattern;
    bool report;
};

#define VMX_STR_(x) #x
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) \
    {VMX_STR_(st)[0] == 'B', #t, #F, #cls, #pat, VMX_STR_(rep)[0] == 'R'},
const Row kRows[] = {
#include "vexa/vm_catalogue.def"
};
#undef VM_FN

TEST(Catalogue, HasEveryTypeFunctionPairOnce) {
    std::set<std::string> pairs, names;
    std::map<std::string, std::set<std::string>> types_of;
    for (const Row& r : kRows) {
        EXPECT_TRUE(pairs.insert(r.type + r.name).second) << r.type << r.name;
        names.insert(r.name);
        types_of[r.name].insert(r.type);
    }
    EXPECT_EQ(pairs.size(), 182u);
    EXPECT_EQ(names.size(), 62u);
    int all4 = 0, real = 0, cplx = 0;
    for (auto& [name, types] : types_of) {
        if (types == std::set<std::string>{"s", "d", "c", "z"}) ++all4;
        else if (types == std::set<std::string>{"s", "d"}) ++real;
        else if (types == std::set<std::string>{"c", "z"}) ++cplx;
        else ADD_FAILURE() << name << " has an unexpected set of types";
    }
    EXPECT_EQ(all4, 29);
    EXPECT_EQ(real, 29);
    EXPECT_EQ(cplx, 4);
}

TEST(Catalogue, SlotPatternsAndNameStringsHaveTheDocumentedCounts) {
    std::map<std::string, int> patterns;
    std::set<std::string> reporting;
    for (const Row& r : kRows) {
        ++patterns[r.pattern];
        if (r.report) reporting.insert("v" + r.type + r.name);
    }
    EXPECT_EQ(patterns["K3"], 77);
    EXPECT_EQ(patterns["LHL"], 18);
    EXPECT_EQ(patterns["HHE"], 8);
    EXPECT_EQ(patterns["K1"], 79);
    EXPECT_EQ(reporting.size(), 101u);
}

// The entry table's slots follow the pattern, and the work figures repeat with
// the kernels.
struct Built {
    const char* name;
    const char* pattern;
    const void* const* ttab;
    const float* ctab;
};
#define VMX_BUILT(t, F, pat) {#t #F, #pat, reinterpret_cast<const void* const*>(vexa_arx_kernel_##t##F##_ttab), vexa_arx_kernel_##t##F##_ctab},
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_BUILT(t, F, pat))
const Built kBuilt[] = {
#include "vexa/vm_catalogue.def"
};
#undef VM_FN

TEST(Catalogue, EntryTablesFollowTheirSlotPattern) {
    for (const Built& b : kBuilt) {
        SCOPED_TRACE(b.name);
        const std::string p = b.pattern;
        for (int s = 0; s < 3; ++s) EXPECT_NE(b.ttab[s], nullptr);
        for (int s = 0; s < 3; ++s) EXPECT_GT(b.ctab[s], 0.0f);
        auto same = [&](int x, int y) { return b.ttab[x] == b.ttab[y] && b.ctab[x] == b.ctab[y]; };
        bool ok = false;
        if (p == "K1") ok = same(0, 1) && same(1, 2);
        if (p == "LHL") ok = same(0, 2) && !same(0, 1);
        if (p == "HHE") ok = same(0, 1) && !same(1, 2);
        if (p == "K3") ok = !same(0, 1) && !same(1, 2) && !same(0, 2);
        EXPECT_TRUE(ok) << p;
    }
}

TEST(Catalogue, DocumentedWorkFigures) {
    EXPECT_FLOAT_EQ(vexa_arx_kernel_sAbs_ctab[0], 0.25f);
    EXPECT_FLOAT_EQ(vexa_arx_kernel_sAdd_ctab[2], 0.3f);
    EXPECT_FLOAT_EQ(vexa_arx_kernel_dAbs_ctab[1], 0.43f);
}

}  // namespace
