// Builds rows from arbitrary bytes fed to the loader in pieces of arbitrary sizes (taken
// from the bytes themselves, so the fuzzer also explores where blocks end) and compares
// them with inserting the same bytes in one go.
#include "support/StoreInvariants.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<size_t> pieces;
    for (size_t k = 0; k < 8 && k < size; ++k)
        pieces.push_back(1 + data[size - 1 - k] % 61 * (data[k] % 3 == 0 ? 67 : 1));
    if (pieces.empty())
        pieces.push_back(1);
    const std::string broken = kvx::test::CompareLoader(bytes, pieces);
    if (!broken.empty()) {
        std::fprintf(stderr, "loader differs from insertion: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
