// Fuzz target: the LZRW1KH block decoder on arbitrary blocks.
#include "backup/LZRW1KH.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > size_t(lzrw1kh::kBlockSize)) return 0;
    // Exactly sized areas, so that the sanitizer sees any access past them.
    std::vector<uint8_t> in(data, data + size);
    std::vector<uint8_t> out(lzrw1kh::kBlockSize);
    const int n = lzrw1kh::decode(in.data(), int(size), out.data());
    if (n > lzrw1kh::kBlockSize) __builtin_trap();
    return 0;
}
