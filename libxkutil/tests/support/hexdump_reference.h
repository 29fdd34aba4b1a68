// The hexdump written the long way: one formatted append per piece of the layout. The
// library's dump must leave the same text, capacity and log lines, failures included.
#ifndef XK_TESTS_HEXDUMP_REFERENCE_H
#define XK_TESTS_HEXDUMP_REFERENCE_H

#include <ctype.h>

#include "xk/strbuf.h"

namespace xk::test {

inline void reference_hexdump(xk_util_strbuf *sb, const char *prefix, const void *data, size_t len) {
    if (sb == nullptr || data == nullptr || len == 0) return;
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    auto text = [&](size_t from, size_t to) {
        for (xk_util_strbuf_append_f(sb, " : "); from < to; ++from) xk_util_strbuf_append_f(sb, "%c", isprint(bytes[from]) ? bytes[from] : '.');
    };
    size_t i = 0;
    for (prefix = prefix == nullptr ? "    " : prefix; i < len && (sb->hex_limit == 0 || static_cast<long>(i) < sb->hex_limit); ++i) {
        if (i == 0) xk_util_strbuf_append_f(sb, "%s", prefix);
        if (i > 0 && i % 16 == 0) text(i - 16, i), xk_util_strbuf_append_f(sb, "\n%s", prefix);
        if (i % 16 != 0) xk_util_strbuf_append_f(sb, i % 8 == 0 ? " - " : " ");
        xk_util_strbuf_append_f(sb, "%02X", bytes[i]);
    }
    if (i > 0) text((i - 1) / 16 * 16, i);
    xk_util_strbuf_append_f(sb, "\n");
}

}  // namespace xk::test

#endif
