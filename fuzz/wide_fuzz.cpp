// SPDX-License-Identifier: MIT
// Multibyte-to-wide conversion of arbitrary text under the C.UTF-8 locale or the process's own C
// locale (the first byte chooses), against mbstowcs, with the text in an exactly sized block. The length
// argument is not consulted: the one passed has nothing to do with the text.
#include <locale.h>
#include <stdlib.h>
#include <string.h>

#include "harness.h"
#include "xk/wide.h"

void fuzz_one(fuzz::Input &in) {
    static const locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    FUZZ_CHECK(utf8 != nullptr && uselocale(in.byte() & 1 ? utf8 : LC_GLOBAL_LOCALE) != nullptr);  // or C
    char *src = strndup(in.rest().c_str(), in.size);
    const size_t expect = mbstowcs(nullptr, src, 0), invalid = static_cast<size_t>(-1);
    std::wstring reference(expect == invalid ? 0 : expect + 1, L'\0');
    mbstowcs(reference.data(), src, reference.size());
    wchar_t *wide = nullptr;
    size_t wide_len = 0;
    const xk_util_status st = xk_util_char_to_wchar(src, in.size, &wide, &wide_len);
    FUZZ_CHECK(wide_len == expect &&
               (expect == invalid ? st == XK_ERR_INVALID && wide == nullptr
                                  : st == XK_OK && reference == std::wstring(wide, expect + 1)));
    free(wide), free(src), uselocale(LC_GLOBAL_LOCALE);
}
