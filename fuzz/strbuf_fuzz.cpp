// SPDX-License-Identifier: MIT
// The string buffer driven by operations decoded from the input. Two buffers take the same
// operations: one through the library's hexdump and substitution, the other through the same work
// done the long way, one append per piece. Everything a caller sees of the two must match, and the
// text must match a std::string model of the appends.
#include <string.h>

#include "../libxkutil/tests/support/hexdump_reference.h"
#include "harness.h"

namespace {

// A piece of the input that ends at its first zero byte.
std::string text(fuzz::Input &in, size_t most) { return in.piece(in.byte() % most).c_str(); }

// Appends, clears and sets the limit of one buffer; returns whether the append counted what it was given.
bool simple(xk_util_strbuf *sb, uint8_t op, uint8_t arg, const std::string &s) {
    switch (op % 8) {
        case 0:
            return xk_util_strbuf_append_f(sb, "%.*s", int(s.size()), s.data()) ==
                   int(strnlen(s.data(), s.size()));
        case 1: return xk_util_strbuf_append_f(sb, "%c", arg) == 1;  // a zero counts, but ends the text
        case 2: return xk_util_strbuf_append_f(sb, "%*s", arg * 4, "") == arg * 4;
        case 3: return xk_util_strbuf_clear(sb), true;
        default: return xk_util_strbuf_set_hex_limit(sb, static_cast<int8_t>(arg)), true;
    }
}

}  // namespace

void fuzz_one(fuzz::Input &in) {
    int capacity = in.byte() % 40;  // small capacities make appends grow
    xk_util_strbuf *ours = xk_util_strbuf_new(capacity), *theirs = xk_util_strbuf_new(capacity);
    FUZZ_CHECK(ours != nullptr && theirs != nullptr);
    std::string model;
    while (in.more()) {
        int32_t before = ours->capacity;
        uint8_t op = in.byte(), arg = in.byte();
        std::string s = op % 8 < 3 ? in.piece(arg % 64) : "";
        if (op % 8 < 5) FUZZ_CHECK(simple(ours, op, arg, s) && simple(theirs, op, arg, s));
        if (op % 8 == 0) model += s.c_str();
        if (op % 8 == 1 && arg != 0) model += static_cast<char>(arg);
        if (op % 8 == 2) model.append(arg * 4u, ' ');
        if (op % 8 == 3) model.clear();
        if (op % 8 == 5) {  // a dump of up to 319 bytes, with a short prefix or none
            std::string bytes = in.piece(arg % 64 + (arg & 0x80 ? 256 : 0)), prefix = text(in, 4);
            const char *pre = arg & 0x40 ? nullptr : prefix.c_str();
            xk_util_strbuf_hexdump(ours, pre, bytes.data(), bytes.size());
            xk::test::reference_hexdump(theirs, pre, bytes.data(), bytes.size());
        }
        if (op % 8 >= 6) {  // a substitution by a number, a text, or texts around a zero byte
            std::string needle = text(in, 4), head = text(in, 8), tail = text(in, 8);
            int max_count =
                needle.empty() && static_cast<int8_t>(arg) % 5 == 0 ? 1 : static_cast<int8_t>(arg) % 5;
            const char *format = op % 2 ? "%d" : arg & 0x40 ? "%s" : "%s%c%s";
            auto both = [&](auto substitute, xk_util_strbuf *sb) {
                return op % 2
                           ? substitute(sb, needle.c_str(), max_count, format, arg - 100)
                           : substitute(sb, needle.c_str(), max_count, format, head.c_str(), 0, tail.c_str());
            };
            FUZZ_CHECK(both(xk_util_strbuf_substitute, ours) ==
                       both(xk::test::substitute_by_appends, theirs));
        }
        if (op % 8 >= 5) model = ours->str;
        FUZZ_CHECK(ours->capacity == theirs->capacity && ours->hex_limit == theirs->hex_limit);
        FUZZ_CHECK(memcmp(ours->str, theirs->str, static_cast<size_t>(ours->capacity)) == 0 &&
                   model == ours->str);
        FUZZ_CHECK(model.size() < static_cast<size_t>(ours->capacity) &&
                   ours->capacity >= before);  // never shrinks
        if (model.size() > (1u << 16))
            xk_util_strbuf_clear(ours), xk_util_strbuf_clear(theirs), model.clear();
    }
    FUZZ_CHECK(xk_util_strbuf_getstr(ours) == ours->str);
    xk_util_strbuf_free(ours), xk_util_strbuf_free(theirs);
}
