// The numbered message catalogue behind vexa_serv_print. Each message has a
// printf format whose conversions match the arguments the library passes.
#include <cstdarg>
#include <cstdio>

#include "export.h"
#include "vexa/service.h"

namespace {

struct Message {
    int number;
    int count;  // arguments expected
    const char* format;
};

constexpr Message kCatalogue[] = {
    {735, 2, "vexa: %s: parameter %d was incorrect on entry"},
    {736, 1, "vexa: %s: the arrays given cannot be accessed"},
    {737, 1, "vexa: %s: argument is outside the domain of the function"},
    {738, 1, "vexa: %s: the function has a singularity at the argument"},
    {739, 1, "vexa: %s: the result overflows the range of the type"},
    {740, 1, "vexa: %s: the result underflows below the normal range"},
    {741, 1, "vexa: %s: the computation failed with an unrecognised status"},
    {742, 2, "vexa:     element %d: argument %.17g"},
    {743, 2, "vexa:     element %d: result %.17g"},
    {744, 2, "vexa:     element %d: argument %.17g"},
    {745, 2, "vexa:     element %d: first result %.17g"},
    {746, 2, "vexa:     element %d: second result %.17g"},
    {747, 2, "vexa:     element %d: first argument %.17g"},
    {748, 2, "vexa:     element %d: second argument %.17g"},
    {749, 2, "vexa:     element %d: result %.17g"},
    {750, 2, "vexa:     element %d: first argument %.17g"},
    {751, 2, "vexa:     element %d: second argument %.17g"},
    {752, 2, "vexa:     element %d: first result %.17g"},
    {753, 2, "vexa:     element %d: second result %.17g"},
};

const Message* find(int number) {
    for (const Message& m : kCatalogue)
        if (m.number == number) return &m;
    return nullptr;
}

}  // namespace

extern "C" {

// Channel 1 is the standard error stream; other channels are not written.
SERV_EXPORT void vexa_serv_print(int channel, int number, int count, ...) {
    if (channel != 1) return;
    const Message* m = find(number);
    if (m == nullptr || m->count != count) {
        std::fprintf(stderr, "vexa: message %d with %d argument(s) is not in the catalogue\n", number, count);
        return;
    }
    va_list ap;
    va_start(ap, count);
    std::vfprintf(stderr, m->format, ap);
    va_end(ap);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // extern "C"
