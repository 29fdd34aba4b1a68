// Bounded-string primitives against plain reference loops.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "xk/memory.h"

namespace {

const void *reference_memmem(const uint8_t *hay, size_t hay_len, const uint8_t *needle, size_t needle_len) {
    if (needle_len == 0) return hay;
    for (size_t i = 0; i + needle_len <= hay_len; ++i)
        if (memcmp(hay + i, needle, needle_len) == 0) return hay + i;
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    size_t needle_len = data[0] % 8;
    if (needle_len > size - 1) return 0;
    const uint8_t *needle = data + 1;
    const uint8_t *hay = needle + needle_len;
    size_t hay_len = size - 1 - needle_len;
    if (xk_util_memmem(hay, hay_len, needle, needle_len) !=
        reference_memmem(hay, hay_len, needle, needle_len))
        __builtin_trap();
    size_t expect = 0;
    while (expect < size && data[expect] != 0) ++expect;
    if (xk_util_strnlen(reinterpret_cast<const char *>(data), size) != expect) __builtin_trap();
    return 0;
}
