// SPDX-License-Identifier: MIT
// Hex byte text: the round trip (the digits themselves are checked by the unit tests), and the scan of
// arbitrary text held in a block of exactly its length (no terminator), where a read past it is caught; only
// pairs of digits have a set value.
#include <stdlib.h>
#include <string.h>

#include "harness.h"
#include "xk/hex.h"

void fuzz_one(fuzz::Input &in) {
    char *text = nullptr, *block = static_cast<char *>(malloc(in.size + (in.size == 0)));
    uint8_t *back = nullptr, *scanned = nullptr;
    FUZZ_CHECK(xk_util_sprintf_bytes(in.data, in.size, &text) == XK_OK && strlen(text) == 2 * in.size);
    FUZZ_CHECK(xk_util_sscanf_bytes(text, 2 * in.size, &back) == XK_OK &&
               memcmp(back, in.data, in.size) == 0);
    FUZZ_CHECK(xk_util_sscanf_bytes(static_cast<char *>(memcpy(block, in.data, in.size)), in.size,
                                    &scanned) == XK_OK);
    for (size_t i = 0; i < in.size / 2; ++i) {  // an odd last character is ignored
        const char pair[3] = {block[2 * i], block[2 * i + 1], '\0'};
        FUZZ_CHECK(strspn(pair, "0123456789abcdefABCDEF") < 2 || scanned[i] == strtoul(pair, nullptr, 16));
    }
    free(back), free(text), free(block), free(scanned);
}
