// Fuzz target of the stream-image loaders: any bytes as a file image and as
// a memory image. Checks that nothing crashes, leaks or reads past the
// image; that a failed load leaves the out pointer null; that the two media
// agree (a memory image is loaded only when the file loader found the whole
// image there, since a memory block must hold what its header announces);
// and that a loaded stream saves back to an image that loads again and
// generates (except the abstract streams, whose state holds the caller's
// pointers).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vexa/random.h"
#include "vexa/service.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "stream image fuzz: %s\n", what);
        std::abort();
    }
}

// The file image in memory-backed storage where there is some.
const std::string& path() {
    static const std::string p =
        std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/vexa_image_fuzz_" + std::to_string(::getpid());
    return p;
}

bool abstract(int32_t id) { return id == 0xA00000 || id == 0xB00000 || id == 0xC00000; }

void exercise(StreamState* s) {
    const int32_t id = __tqrGetStreamStateBrng(s);
    std::vector<char> again(static_cast<std::size_t>(__tqrGetStreamSize(s)));
    check(__tqrSaveStreamM(s, again.data()) == 0, "a loaded stream saves");
    StreamState* t = nullptr;
    check(__tqrLoadStreamM(&t, again.data()) == 0, "a saved image loads");
    if (!abstract(id)) {
        BrngProperties p;
        check(__tqrGetBrngProperties(id, &p) >= 0, "properties");
        std::vector<uint32_t> w(64 * std::size_t(p.WordSize > 4 ? p.WordSize / 4 : 1));
        p.iBRng(s, 64, w.data());
        std::vector<double> d(40);
        p.dBRng(t, 40, d.data(), 0.0, 1.0);
    }
    __tqrDeleteStream(&t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const long live = vexa_serv_test_live_blocks();
    if (std::FILE* f = std::fopen(path().c_str(), "wb")) {
        if (size != 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    StreamState* fs = nullptr;
    const int sf = __tqrLoadStreamF(&fs, path().c_str(), -1);
    check((sf == 0) == (fs != nullptr), "file: out pointer set exactly on success");
    if (sf != VEXA_RNG_FILE_READ) {
        // The whole image was there: the same bytes from memory, in a block
        // of exactly their size.
        std::vector<char> block(data, data + size);
        StreamState* ms = nullptr;
        const int sm = __tqrLoadStreamM(&ms, block.data());
        check((sm == 0) == (ms != nullptr), "memory: out pointer set exactly on success");
        const int want = sf == VEXA_RNG_FILE_FORMAT || sf == VEXA_RNG_FILE_VERSION ? VEXA_RNG_MEMORY_FORMAT : sf;
        check(sm == want, "file and memory statuses agree");
        if (ms != nullptr) {
            std::vector<char> a(static_cast<std::size_t>(__tqrGetStreamSize(fs))),
                b(static_cast<std::size_t>(__tqrGetStreamSize(ms)));
            check(a.size() == b.size(), "same image sizes");
            __tqrSaveStreamM(fs, a.data());
            __tqrSaveStreamM(ms, b.data());
            check(a == b, "same images from file and memory");
            exercise(ms);
            __tqrDeleteStream(&ms);
        }
    }
    if (fs != nullptr) exercise(fs);
    __tqrDeleteStream(&fs);
    check(vexa_serv_test_live_blocks() == live, "nothing left allocated");
    return 0;
}
