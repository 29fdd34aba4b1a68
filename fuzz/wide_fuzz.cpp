// Multibyte-to-wide conversion of arbitrary bytes under the C and C.UTF-8 locales (chosen by the
// first byte), against mbstowcs; the text sits in an exactly-sized block.
#include <locale.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "xk/errortrace.h"
#include "xk/wide.h"

namespace {
locale_t plain_locale;
locale_t utf8_locale;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    plain_locale = newlocale(LC_ALL_MASK, "C", nullptr);
    utf8_locale = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    if (plain_locale == nullptr || utf8_locale == nullptr) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    uselocale(data[0] & 1 ? utf8_locale : plain_locale);
    size_t len = strnlen(reinterpret_cast<const char *>(data + 1), size - 1);
    char *src = static_cast<char *>(malloc(len + 1));
    memcpy(src, data + 1, len);
    src[len] = '\0';

    size_t expect = mbstowcs(nullptr, src, 0);
    wchar_t *wide = nullptr;
    size_t wide_len = 0;
    // src_len is not consulted: pass one that has nothing to do with the text.
    xk_util_status st = xk_util_char_to_wchar(src, data[0], &wide, &wide_len);
    if (expect == static_cast<size_t>(-1)) {
        if (st != XK_ERR_INVALID || wide != nullptr || wide_len != static_cast<size_t>(-1)) __builtin_trap();
    } else {
        if (st != XK_OK || wide_len != expect || wide[wide_len] != 0) __builtin_trap();
        wchar_t *reference = static_cast<wchar_t *>(calloc(expect + 1, sizeof(wchar_t)));
        mbstowcs(reference, src, expect + 1);
        if (wmemcmp(reference, wide, expect + 1) != 0) __builtin_trap();
        // Under UTF-8 each character has exactly one byte that is not a continuation byte.
        if (data[0] & 1) {
            size_t leads = 0;
            for (size_t i = 0; i < len; ++i)
                if ((static_cast<unsigned char>(src[i]) & 0xC0) != 0x80) ++leads;
            if (leads != wide_len) __builtin_trap();
        }
        free(reference);
    }
    free(wide);
    free(src);
    uselocale(LC_GLOBAL_LOCALE);
    xk_trace_clear();
    return 0;
}
