#include "backup/LZRW1KH.h"

namespace lzrw1kh {

int decode(const uint8_t* s, int length, uint8_t* d)
{
    if (length <= 0 || length > kBlockSize) return -1;
    if (s[0] == 0x80) {  // stored
        for (int i = 1; i < length; ++i) d[i - 1] = s[i];
        return length - 1;
    }
    if (length < 3) return -1;
    int x = 3;
    int y = 0;
    unsigned control = unsigned(s[1]) << 8 | s[2];
    int bits = 16;
    while (x < length) {
        if (bits == 0) {
            if (x + 2 > length) return -1;
            control = unsigned(s[x]) << 8 | s[x + 1];
            x += 2;
            bits = 16;
            if (x >= length) return -1;  // a control word must be followed by an item
        }
        if (!(control & 0x8000)) {
            if (y >= kBlockSize) return -1;
            d[y++] = s[x++];
        } else {
            if (x + 2 > length) return -1;
            const int offset = s[x] * 16 + (s[x + 1] >> 4);
            if (offset == 0) {
                if (x + 4 > length) return -1;
                const int count = (s[x + 1] & 0x0F) * 256 + s[x + 2] + 16;
                if (y + count > kBlockSize) return -1;
                for (int k = 0; k < count; ++k) d[y + k] = s[x + 3];
                x += 4;
                y += count;
            } else {
                const int count = (s[x + 1] & 0x0F) + 3;
                if (offset > y || y + count > kBlockSize) return -1;
                for (int k = 0; k < count; ++k) d[y + k] = d[y - offset + k];
                x += 2;
                y += count;
            }
        }
        control = (control << 1) & 0xFFFF;
        --bits;
    }
    return y;
}

}  // namespace lzrw1kh
