// The library's dynamic symbol table holds exactly the names generated from
// the catalogues and the frame's entry points: nothing missing, nothing extra.
#include <elf.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "vexa/data_fitting.h"
#include "vexa/rng_engines.h"
#include "vexa/vector_math.h"

namespace {

// Defined global and weak symbols of an ELF shared object's .dynsym.
template <class Ehdr, class Shdr, class Sym, unsigned char (*Bind)(unsigned char)>
std::set<std::string> defined_symbols(const std::vector<char>& f) {
    std::set<std::string> out;
    const auto* eh = reinterpret_cast<const Ehdr*>(f.data());
    const auto* sh = reinterpret_cast<const Shdr*>(f.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (sh[i].sh_type != SHT_DYNSYM) continue;
        const char* strtab = f.data() + sh[sh[i].sh_link].sh_offset;
        const auto* syms = reinterpret_cast<const Sym*>(f.data() + sh[i].sh_offset);
        const std::size_t n = sh[i].sh_size / sizeof(Sym);
        for (std::size_t k = 1; k < n; ++k) {
            if (syms[k].st_shndx == SHN_UNDEF) continue;
            const unsigned char b = Bind(syms[k].st_info);
            if (b == STB_GLOBAL || b == STB_WEAK) out.insert(strtab + syms[k].st_name);
        }
    }
    return out;
}
unsigned char bind32(unsigned char i) { return ELF32_ST_BIND(i); }
unsigned char bind64(unsigned char i) { return ELF64_ST_BIND(i); }

std::set<std::string> library_exports() {
    std::ifstream in(VEXA_LIB_PATH, std::ios::binary);
    std::vector<char> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GT(f.size(), 64u);
    if (f.size() < 64) return {};
    if (f[EI_CLASS] == ELFCLASS32) return defined_symbols<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym, bind32>(f);
    return defined_symbols<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym, bind64>(f);
}

#define VMX_STR_(x) #x
#define VMX_STR(x) VMX_STR_(x)
#define VMX_KERNEL_NAME(t, F, cls, g, acc) VMX_STR(VMX_KNAME(t, F, g, acc)),
#define VMX_ROW_NAMES(t, F, cls, pat, gl, gh, ge)                                                     \
    VMX_KERNELS_##pat(VMX_KERNEL_NAME, t, F, cls, gl, gh, ge) "vexa_arx_kernel_" #t #F "_ttab",        \
        "vexa_arx_kernel_" #t #F "_ctab", "_arx" #t #F, "_arx" #t #F "_HA",                           \
        "_arx" #t #F "_" VMX_STR(VMX_LASFX_##t), "_arx" #t #F "_" VMX_STR(VMX_EPSFX_##t),
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_ROW_NAMES(t, F, cls, pat, gl, gh, ge))
const char* const kCatalogueExports[] = {
#include "vexa/vm_catalogue.def"
};
#undef VM_FN

#define PR_SORT(t, T) "vexa_dft_avx2_zubsSortRadixAscend_" #t "_I", "vexa_dft_avx2_zubsSortRadixDescend_" #t "_I",
#define PR_SORT8(t, T) PR_SORT(t, T)
#define PR_INDEX(t, T) "vexa_dft_avx2_zubsSortRadixIndexAscend_" #t, "vexa_dft_avx2_zubsSortRadixIndexDescend_" #t,
#define PR_FILL(t, T) "vexa_dft_avx2_zubsCopy_" #t, "vexa_dft_avx2_zubsSet_" #t, "vexa_dft_avx2_zubsZero_" #t,
const char* const kPrimitiveExports[] = {
#include "vexa/primitives_catalogue.def"
};

#define SS_EDITOR(name, ...) "__tqrdSSEdit" #name, "__tqrsSSEdit" #name,
const char* const kStatisticsExports[] = {
    "__tqrdSSNewTask", "__tqrsSSNewTask", "__tqrdSSEditTask", "__tqrsSSEditTask", "__tqriSSEditTask",
    "__tqrSSDeleteTask",
#include "vexa/ss_editors.def"
#define SS_ENTRY(name) "_tqrdSS" #name, "_tqrsSS" #name,
#include "vexa/ss_entries.def"
    "__tqrdQSortSelect", "__tqrsQSortSelect", "__tqrdQSort", "__tqrsQSort", "__tqrdQSortStep", "__tqrsQSortStep",
    "_tqrdSSWMedian", "_tqrsSSWMedian",
};
#undef SS_EDITOR
#undef SS_ENTRY

// The frame: per-thread mode, status and callback routines with their
// forwarders, the error routines, the table-index and interface routines.
const char* const kFrameExports[] = {
    "dll_cpu_version", "mapModeS_N", "vexa_arx_kernel_GetTTableIndex", "vexa_arx_kernel_GetTTableIndexM",
    "vexa_arx_kernel_SetInterfInputVectorPointer", "_arxSetInterfInputVectorPointer",
    "vexa_arx_kernel_GetMode", "_arxGetMode", "vexa_arx_kernel_SetMode", "_arxSetMode",
    "vexa_arx_kernel_ReadEnvVarMode", "vexa_arx_kernel_GetErrStatus", "_arxGetErrStatus",
    "vexa_arx_kernel_SetErrStatus", "_arxSetErrStatus", "vexa_arx_kernel_ClearErrStatus", "_arxClearErrStatus",
    "vexa_arx_kernel_SetErrorCallBack", "_arxSetErrorCallBack", "vexa_arx_kernel_GetErrorCallBack",
    "_arxGetErrorCallBack", "vexa_arx_kernel_ClearErrorCallBack", "_arxClearErrorCallBack",
    "vexa_arx_kernel_sError", "vexa_arx_kernel_dError", "vexa_arx_kernel_cError", "vexa_arx_kernel_zError",
};

// Random streams: the registry's data, the stream and chunk routines, the
// modular powers, the parameter tables, and four routines per generator.
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) \
    "__tqrBRng" #NAME "InitStream", "__tqrsBRng" #NAME, "__tqrdBRng" #NAME, "__tqriBRng" #NAME,
const char* const kRandomExports[] = {
#include "vexa/brng_catalogue.def"
    "__RegBrngsNew", "NRegBrngsNew", "NumOffsets", "__RegBrngs", "_GlobRODataTable", "_GlobRODataTableCount",
    "_TQR_GLOB_RO_DATA_TABLE_LOCKER_1", "__tqrGetBrngBaseOffset", "__tqrIsBrngValid", "__tqrGetBrngProperties",
    "__tqrGetNumRegBrngs", "__tqrRegisterBrng", "__tqrAllocateStream", "__tqrNewStreamEx",
    "__tqriNewAbstractStream", "__tqrdNewAbstractStream", "__tqrsNewAbstractStream", "__tqrCopyStream",
    "__tqrCopyStreamState", "__tqrDeleteStream", "__tqrLeapfrogStream", "__tqrSkipAheadStream",
    "__tqrGetStreamStateBrng", "__tqrAddChunk", "__tqrSearchChunk", "__tqrGetNumChunks", "__tqrDeleteChunks",
    "__tqrDeleteChunksById", "__tqrCopyChunks", "__tqrFindGlobRODataTableEntry", "__tqrCreateGlobRODataTableEntry",
    "__tqrRegisterGlobRODataReference", "__tqrUnregisterGlobRODataReference",
    "__tqrGenerateNewGlobalRODataTableEntryId", "__tqriPowMod", "__tqriPowMod2P31M1", "__tqriPowMod2P59",
    "__tqriVect3PowMod", "__tqrCPUisAES", "__tqrCPUisRDRAND", "_tqr_WH_M", "_tqr_WH_A", "_tqrdWH_IM_Tab",
    "__tqrSaveStreamF", "__tqrLoadStreamF", "__tqrSaveStreamM", "__tqrLoadStreamM", "__tqrGetStreamSize",
    "_tqr_mt2203_table", "__tqrPolyRem", "__tqr_SkipAheadHorner", "__tqr_SkipAheadSWin", "_tqr_mt19937_poly", "_tqr_sfmt19937_poly",
    "vexa_tqr_sub_kernel_vrng_coreavx2_engine_property",
#define ENGINE_NAMES(prefix, N) "vexa_tqr_sub_kernel_vrng_coreavx2_" #prefix "engine" #N "_double", \
                                "vexa_tqr_sub_kernel_vrng_coreavx2_" #prefix "engine" #N "_float",
    VEXA_ENGINE_SIZES(ENGINE_NAMES, mcg31m1_) VEXA_ENGINE_SIZES(ENGINE_NAMES, mcg59_) VEXA_ENGINE_SIZES(ENGINE_NAMES, )
#undef ENGINE_NAMES
#define RNG_CONTINUOUS(Name, params) "_tqrdRng" #Name, "_tqrsRng" #Name,
#define RNG_DISCRETE(Name, params) "_tqriRng" #Name,
#include "vexa/rng_distributions.def"
#undef RNG_CONTINUOUS
#undef RNG_DISCRETE
};
#undef BRNG

// Data fitting: the task routines of both precisions, the search entry and
// per-method kernels (with and without the 32 suffix).
#define DF_TASK_NAMES(p, T) "vexa_df_kernel_" #p "NewTask1D", "vexa_df_kernel_" #p "EditPPSpline1D", \
    "vexa_df_kernel_" #p "EditPtr", "vexa_df_kernel_" #p "EditIdxPtr", "vexa_df_kernel_" #p "QueryPtr", \
    "vexa_df_kernel_" #p "QueryIdxPtr", "vexa_df_kernel_" #p "DFSearch1D", "vexa_df_kernel_" #p "DFInterpolate1D", \
    "vexa_df_kernel_" #p "DFIntegrate1D", "vexa_df_kernel_" #p "DFLinearSpline1D", \
    "vexa_df_kernel_" #p "DFQuadraticSpline1D", "vexa_df_kernel_" #p "DFNaturalCubicSpline1D", \
    "vexa_df_kernel_" #p "DFDefaultCubicSpline1D", "vexa_df_kernel_" #p "DFAkimaCubicSpline1D", \
    "vexa_df_kernel_" #p "DFBesselCubicSpline1D", "vexa_df_kernel_" #p "DFHermiteCubicSpline1D",
#define DF_EVAL_NAMES(K) "vexa_df_kernel_d_" #K "SplineEval32", "vexa_df_kernel_d_" #K "SplineEval32CB", \
    "vexa_df_kernel_s_" #K "SplineEval32", "vexa_df_kernel_s_" #K "SplineEval32CB",
#define DF_INTEGR_NAMES(K) "vexa_df_kernel_d_Integrate" #K "Spline", "vexa_df_kernel_d_Integrate" #K "SplineCB", \
    "vexa_df_kernel_s_Integrate" #K "Spline", "vexa_df_kernel_s_Integrate" #K "SplineCB",
#define DF_SEARCH_NAMES(M) "vexa_df_kernel_dDF" #M "Search1D32", "vexa_df_kernel_dDF" #M "Search1D", \
    "vexa_df_kernel_sDF" #M "Search1D32", "vexa_df_kernel_sDF" #M "Search1D",
const char* const kDataFittingExports[] = {
    VEXA_DF_TWINS(DF_TASK_NAMES) VEXA_DF_SEARCH_METHODS(DF_SEARCH_NAMES) VEXA_DF_EVALUATORS(DF_EVAL_NAMES)
    VEXA_DF_INTEGRATORS(DF_INTEGR_NAMES)
    "vexa_df_kernel_iEditVal", "vexa_df_kernel_iQueryVal", "vexa_df_kernel_DeleteTask",
    "vDFNaturalCubSplineThreadingStruct",
};
#undef DF_TASK_NAMES
#undef DF_EVAL_NAMES
#undef DF_INTEGR_NAMES
#undef DF_SEARCH_NAMES

// Symbols the toolchain defines in every shared object, and those the
// sanitizers' instrumentation adds.
bool toolchain_symbol(const std::string& s) {
    for (const char* prefix : {"__odr_asan", "__asan", "__ubsan", "__tsan", "__sancov"})
        if (s.rfind(prefix, 0) == 0) return true;
    return s == "_init" || s == "_fini" || s == "_edata" || s == "_end" || s == "__bss_start";
}

TEST(Exports, ExactlyTheCataloguedNames) {
    std::set<std::string> want(std::begin(kFrameExports), std::end(kFrameExports));
    for (const char* s : kCatalogueExports) EXPECT_TRUE(want.insert(s).second) << "listed twice: " << s;
    for (const char* s : kPrimitiveExports) EXPECT_TRUE(want.insert(s).second) << "listed twice: " << s;
    for (const char* s : kStatisticsExports) EXPECT_TRUE(want.insert(s).second) << "listed twice: " << s;
    for (const char* s : kRandomExports) EXPECT_TRUE(want.insert(s).second) << "listed twice: " << s;
    for (const char* s : kDataFittingExports) EXPECT_TRUE(want.insert(s).second) << "listed twice: " << s;
    std::set<std::string> have;
    for (const std::string& s : library_exports())
        if (!toolchain_symbol(s)) have.insert(s);
    for (const std::string& s : want) EXPECT_TRUE(have.count(s)) << "missing export: " << s;
    for (const std::string& s : have) EXPECT_TRUE(want.count(s)) << "unexpected export: " << s;
}

}  // namespace
