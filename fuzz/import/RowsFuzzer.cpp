// libFuzzer target: decoding, line-end normalisation, row splitting and
// format detection of import files.
#include "RowFuzzCheck.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string why;
    if (!quillcast::fuzz::checkRowsInput(data, size, &why)) {
        std::fprintf(stderr, "row check failed: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}
