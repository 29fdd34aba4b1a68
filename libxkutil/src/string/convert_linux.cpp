// SPDX-License-Identifier: MIT
// Multibyte-to-wide conversion in the calling thread's locale, which is never changed here.
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "internal/checked.h"
#include "internal/report.h"
#include "xk/wide.h"

namespace {
constexpr const char *kSource = "src/string/convert_linux";
constexpr size_t kConversionFailed = static_cast<size_t>(-1);
}  // namespace

extern "C" {

xk_util_status xk_util_char_to_wchar(const char *src, size_t /*src_len*/, wchar_t **wide_out,
                                     size_t *wide_len) {
    using namespace xk;
    if (src == nullptr || wide_out == nullptr || wide_len == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    mbstate_t state;
    memset(&state, 0, sizeof state);
    const char *cursor = src;
    *wide_len = mbsrtowcs(nullptr, &cursor, 0, &state);
    if (*wide_len == kConversionFailed) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    size_t slots = 0;
    size_t bytes = 0;
    bool fits = checked::add(*wide_len, size_t{1}, &slots) && checked::mul(slots, sizeof(wchar_t), &bytes);
    wchar_t *wide = fits ? static_cast<wchar_t *>(calloc(slots, sizeof(wchar_t))) : nullptr;
    *wide_out = wide;
    if (wide == nullptr) return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
    // From here a failure leaves the block in *wide_out for the caller to free.
    cursor = src;
    *wide_len = mbsrtowcs(wide, &cursor, slots, &state);
    if (*wide_len == kConversionFailed) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    if (cursor != nullptr) return report::trace(__func__, kSource, __LINE__, XK_ERR_BUFFER_TOO_SMALL);
    return XK_OK;
}

}  // extern "C"
