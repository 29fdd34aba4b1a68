/* SPDX-License-Identifier: MIT */
// The hexdump and the substitution written the long way: one formatted append per piece. The
// library's must leave the same text, storage, capacity and log lines, failures included.
#ifndef XK_TESTS_HEXDUMP_REFERENCE_H
#define XK_TESTS_HEXDUMP_REFERENCE_H

#include <ctype.h>
#include <stdarg.h>
#include <string.h>

#include <utility>

#include "xk/strbuf.h"

namespace xk::test {

inline void reference_hexdump(xk_util_strbuf *sb, const char *prefix, const void *data, size_t len) {
    if (sb == nullptr || data == nullptr || len == 0) return;
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    auto text = [&](size_t from, size_t to) {
        for (xk_util_strbuf_append_f(sb, " : "); from < to; ++from)
            xk_util_strbuf_append_f(sb, "%c", isprint(bytes[from]) ? bytes[from] : '.');
    };
    size_t i = 0;
    for (prefix = prefix == nullptr ? "    " : prefix;
         i < len && (sb->hex_limit == 0 || static_cast<long>(i) < sb->hex_limit); ++i) {
        if (i == 0) xk_util_strbuf_append_f(sb, "%s", prefix);
        if (i > 0 && i % 16 == 0) text(i - 16, i), xk_util_strbuf_append_f(sb, "\n%s", prefix);
        if (i % 16 != 0) xk_util_strbuf_append_f(sb, i % 8 == 0 ? " - " : " ");
        xk_util_strbuf_append_f(sb, "%02X", bytes[i]);
    }
    if (i > 0) text((i - 1) / 16 * 16, i);
    xk_util_strbuf_append_f(sb, "\n");
}

// The substitution the long way: a scratch filled by one append per piece, each measuring the text with
// strlen.
inline int substitute_by_appends(xk_util_strbuf *sb, const char *needle, int max_count, const char *format,
                                 ...) {
    va_list ap;
    va_start(ap, format);
    xk_util_strbuf *scratch = xk_util_strbuf_new(sb->capacity);
    const char *cursor = sb->str, *found = nullptr;
    int result = 0, skip = static_cast<int>(strlen(needle));
    for (int counter = 0; (max_count == 0 || counter < max_count) && (found = strstr(cursor, needle));
         ++counter, cursor = found + skip) {
        xk_util_strbuf_append_f(scratch, "%.*s", static_cast<int>(found - cursor), cursor);
        result += xk_util_strbuf_append_fv(scratch, format, ap) - skip;
    }
    xk_util_strbuf_append_f(scratch, "%s", cursor);
    std::swap(sb->str, scratch->str), sb->capacity = scratch->capacity;
    return xk_util_strbuf_free(scratch), va_end(ap), result;
}

}  // namespace xk::test

#endif
