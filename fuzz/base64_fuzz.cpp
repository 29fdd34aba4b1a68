// The base64 decoder on arbitrary text (AddressSanitizer watches every write), and the
// round trip of the encoder.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "xk/base64.h"
#include "xk/errortrace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    uint8_t *bytes = nullptr;
    size_t bytes_len = 0;
    if (xk_util_base64_decode(reinterpret_cast<const char *>(data), size, &bytes, &bytes_len) == XK_OK)
        free(bytes);

    char *text = nullptr;
    size_t text_len = 0;
    if (size > 0 && xk_util_base64_encode(data, size, &text, &text_len) == XK_OK) {
        if (text_len != (size + 2) / 3 * 4) __builtin_trap();
        uint8_t *back = nullptr;
        size_t back_len = 0;
        if (xk_util_base64_decode(text, text_len, &back, &back_len) != XK_OK) __builtin_trap();
        if (back_len != size || memcmp(back, data, size) != 0) __builtin_trap();
        free(back);
        free(text);
    }
    xk_trace_clear();
    return 0;
}
