#include "fuzz/fuzz_entries.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (const char *failure = fc::fuzz::savedGameReader(data, size)) {
        std::fprintf(stderr, "property broken: %s\n", failure);
        __builtin_trap();
    }
    return 0;
}
