// memmem and strnlen against plain byte-by-byte searches, on the input's own exactly sized buffer.
#include <string.h>

#include "harness.h"
#include "xk/memory.h"

void fuzz_one(fuzz::Input &in) {
    const size_t needle_len = std::min<size_t>(in.byte() % 8, static_cast<size_t>(in.end - in.p));
    const uint8_t *needle = in.p, *hay = in.p + needle_len;
    const size_t hay_len = static_cast<size_t>(in.end - hay);
    const void *first = nullptr;
    for (size_t i = 0; first == nullptr && i + needle_len <= hay_len; ++i)
        if (memcmp(hay + i, needle, needle_len) == 0) first = hay + i;
    FUZZ_CHECK(xk_util_memmem(hay, hay_len, needle, needle_len) == first);
    const uint8_t *nul = static_cast<const uint8_t *>(memchr(hay, 0, hay_len));
    FUZZ_CHECK(xk_util_strnlen(reinterpret_cast<const char *>(hay), hay_len) ==
               (nul ? static_cast<size_t>(nul - hay) : hay_len));
}
