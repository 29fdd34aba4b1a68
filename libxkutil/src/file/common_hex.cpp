// SPDX-License-Identifier: MIT
// Hex text of byte arrays written to streams.
#include <stdio.h>

#include "internal/report.h"
#include "string_ops_internal.h"
#include "xk/hex.h"

namespace {
constexpr const char *kSource = "src/file/common";

// Bytes formatted per stream write: the digits are built on the stack and written in chunks,
// which puts the same text on the stream as one "%02x" write per byte.
constexpr size_t kChunkBytes = 2048;
}  // namespace

extern "C" {

xk_util_status xk_util_fprintf_bytes(FILE *stream, const uint8_t *data, size_t len) {
    if (stream == nullptr || data == nullptr) return xk::report::null_arg(__func__, kSource, __LINE__);
    char digits[2 * kChunkBytes];
    for (size_t done = 0; done < len; done += kChunkBytes) {
        size_t n = len - done < kChunkBytes ? len - done : kChunkBytes;
        xk::hex::write_pairs(digits, data + done, n);
        fwrite(digits, 1, 2 * n, stream);  // write errors are not reported
    }
    return XK_OK;
}

xk_util_status xk_util_printf_bytes(const uint8_t *data, size_t len) {
    if (data == nullptr) return xk::report::null_arg(__func__, kSource, __LINE__);
    xk_util_status st = xk_util_fprintf_bytes(stdout, data, len);
    if (st != XK_OK) return xk::report::pass(__func__, kSource, __LINE__, st);
    return XK_OK;
}

}  // extern "C"
