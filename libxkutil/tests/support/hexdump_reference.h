// The hexdump written the long way: one formatted append per piece of the layout. The
// library's dump must leave the same text, capacity and log lines, failures included.
#ifndef XK_TESTS_HEXDUMP_REFERENCE_H
#define XK_TESTS_HEXDUMP_REFERENCE_H

#include <ctype.h>
#include <stddef.h>

#include "xk/strbuf.h"

namespace xk::test {

inline void reference_hexdump(xk_util_strbuf *sb, const char *prefix, const void *data, size_t len) {
    if (sb == nullptr || data == nullptr || len == 0) return;
    if (prefix == nullptr) prefix = "    ";
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    unsigned char window[16];
    size_t i = 0;
    for (; i < len && (sb->hex_limit == 0 || static_cast<long>(i) < sb->hex_limit); ++i) {
        if (i == 0) {
            xk_util_strbuf_append_f(sb, "%s", prefix);
        } else if (i % 16 == 0) {
            xk_util_strbuf_append_f(sb, " : ");
            for (unsigned char c : window) xk_util_strbuf_append_f(sb, "%c", isprint(c) ? c : '.');
            xk_util_strbuf_append_f(sb, "\n%s", prefix);
        } else if (i % 8 == 0) {
            xk_util_strbuf_append_f(sb, " - ");
        } else {
            xk_util_strbuf_append_f(sb, " ");
        }
        xk_util_strbuf_append_f(sb, "%02X", bytes[i]);
        window[i % 16] = bytes[i];
    }
    if (i > 0) {
        xk_util_strbuf_append_f(sb, " : ");
        for (size_t j = 0; j <= (i - 1) % 16; ++j)
            xk_util_strbuf_append_f(sb, "%1c", isprint(window[j]) ? window[j] : '.');
    }
    xk_util_strbuf_append_f(sb, "\n");
}

}  // namespace xk::test

#endif
