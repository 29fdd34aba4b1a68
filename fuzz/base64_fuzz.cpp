// The base64 decoder on arbitrary text (AddressSanitizer watches every write), and the
// round trip of the encoder.
#include <stdlib.h>
#include <string.h>

#include "harness.h"
#include "xk/base64.h"

void fuzz_one(fuzz::Input &in) {
    uint8_t *bytes = nullptr;
    size_t bytes_len = 0;
    if (xk_util_base64_decode(reinterpret_cast<const char *>(in.data), in.size, &bytes, &bytes_len) == XK_OK)
        free(bytes);

    char *text = nullptr;
    size_t text_len = 0;
    if (in.size > 0 && xk_util_base64_encode(in.data, in.size, &text, &text_len) == XK_OK) {
        FUZZ_CHECK(text_len == (in.size + 2) / 3 * 4);
        uint8_t *back = nullptr;
        size_t back_len = 0;
        FUZZ_CHECK(xk_util_base64_decode(text, text_len, &back, &back_len) == XK_OK);
        FUZZ_CHECK(back_len == in.size && memcmp(back, in.data, in.size) == 0);
        free(back);
        free(text);
    }
}
