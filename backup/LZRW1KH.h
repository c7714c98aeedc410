// The LZRW1KH block decoder, for the "ECS" segments of older archives (read only).
#pragma once

#include <cstdint>

namespace lzrw1kh {

constexpr int kBlockSize = 32783;  // the most a block holds and the most it decodes into

// Decodes `length` bytes of `src` into `dst` (room for kBlockSize bytes). Returns the number
// of bytes written, or -1 for a block that would read past its end, write past kBlockSize
// bytes or copy from before the start of its output. Allocates nothing.
int decode(const uint8_t* src, int length, uint8_t* dst);

}  // namespace lzrw1kh
