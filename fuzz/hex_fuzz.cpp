// Hex byte text: the round trip of sprintf_bytes and sscanf_bytes, and sscanf_bytes on arbitrary
// text in a block of exactly hex_len bytes (no terminator), where any read past hex_len is caught.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "xk/errortrace.h"
#include "xk/hex.h"

namespace {

int digit_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Scans hex_len bytes of text; only pairs of two hex digits have a fixed value to check.
void scan_arbitrary(const uint8_t *data, size_t hex_len) {
    char *block = static_cast<char *>(malloc(hex_len == 0 ? 1 : hex_len));
    memcpy(block, data, hex_len);
    uint8_t *bytes = nullptr;
    if (xk_util_sscanf_bytes(block, hex_len, &bytes) != XK_OK) __builtin_trap();
    for (size_t i = 0; i < hex_len / 2; ++i) {
        int high = digit_value(data[2 * i]);
        int low = digit_value(data[2 * i + 1]);
        if (high >= 0 && low >= 0 && bytes[i] != (high << 4 | low)) __builtin_trap();
    }
    free(bytes);
    free(block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    char *text = nullptr;
    if (xk_util_sprintf_bytes(data, size, &text) != XK_OK) __builtin_trap();
    if (strlen(text) != 2 * size) __builtin_trap();
    for (size_t i = 0; i < size; ++i)
        if (text[2 * i] != kDigits[data[i] >> 4] || text[2 * i + 1] != kDigits[data[i] & 0xF])
            __builtin_trap();
    uint8_t *back = nullptr;
    if (xk_util_sscanf_bytes(text, 2 * size, &back) != XK_OK) __builtin_trap();
    if (size > 0 && memcmp(back, data, size) != 0) __builtin_trap();
    free(back);
    free(text);

    scan_arbitrary(data, size);
    if (size > 0) scan_arbitrary(data, size - 1);  // an odd last character is ignored
    xk_trace_clear();
    return 0;
}
