// Multibyte-to-wide conversion of arbitrary text under the C or C.UTF-8 locale (the first byte
// chooses), against mbstowcs, with the text in an exactly sized block.
#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "harness.h"
#include "xk/wide.h"

void fuzz_one(fuzz::Input &in) {
    static const locale_t plain = newlocale(LC_ALL_MASK, "C", nullptr),
                          utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    FUZZ_CHECK(plain != nullptr && utf8 != nullptr && uselocale(in.byte() & 1 ? utf8 : plain) != nullptr);
    char *src = strndup(in.rest().c_str(), in.size);
    const size_t expect = mbstowcs(nullptr, src, 0), invalid = static_cast<size_t>(-1);
    std::wstring reference(expect == invalid ? 1 : expect + 1, L'\0');
    mbstowcs(reference.data(), src, reference.size());
    size_t wide_len = 0;
    wchar_t *wide = nullptr;
    // The length argument is not consulted: pass one that has nothing to do with the text.
    const xk_util_status st = xk_util_char_to_wchar(src, in.size, &wide, &wide_len);
    FUZZ_CHECK(wide_len == expect &&
               (expect == invalid ? st == XK_ERR_INVALID && wide == nullptr
                                  : st == XK_OK && wmemcmp(reference.data(), wide, expect + 1) == 0));
    free(wide), free(src);
    uselocale(LC_GLOBAL_LOCALE);
}
