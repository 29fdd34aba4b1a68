// SPDX-License-Identifier: MIT
// The string buffer driven by operations decoded from the input. Two buffers take the same
// operations: one through the library's hexdump and substitution, the other through the same work
// done the long way, one append per piece. Everything a caller sees of the two must match, and the
// text must match a std::string model of the appends.
#include <string.h>

#include "../libxkutil/tests/support/hexdump_reference.h"
#include "harness.h"

namespace {

void same(const xk_util_strbuf *ours, const xk_util_strbuf *theirs, const std::string &model) {
    FUZZ_CHECK(ours->capacity == theirs->capacity && ours->hex_limit == theirs->hex_limit);
    FUZZ_CHECK(memcmp(ours->str, theirs->str, static_cast<size_t>(ours->capacity)) == 0 && model == ours->str);
    FUZZ_CHECK(model.size() < static_cast<size_t>(ours->capacity));  // the terminator is inside
}

// A piece of the input that ends at its first zero byte.
std::string text(fuzz::Input &in, size_t most) {
    std::string s = in.piece(in.byte() % most);
    return s.substr(0, strlen(s.c_str()));
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
        for (xk_util_strbuf *sb : {ours, theirs}) switch (op % 8) {
                case 0: FUZZ_CHECK(xk_util_strbuf_append_f(sb, "%.*s", static_cast<int>(s.size()), s.data()) == static_cast<int>(strnlen(s.data(), s.size()))); break;
                case 1: FUZZ_CHECK(xk_util_strbuf_append_f(sb, "%c", arg) == 1); break;  // a zero counts, but ends the text
                case 2: FUZZ_CHECK(xk_util_strbuf_append_f(sb, "%*s", arg * 4, "") == arg * 4); break;
                case 3: xk_util_strbuf_clear(sb); break;
                case 4: xk_util_strbuf_set_hex_limit(sb, static_cast<int8_t>(arg)); break;
                default: break;
            }
        if (op % 8 == 0) model += s.c_str();
        if (op % 8 == 1 && arg != 0) model += static_cast<char>(arg);
        if (op % 8 == 2) model.append(arg * 4u, ' ');
        if (op % 8 == 3) model.clear();
        if (op % 8 == 5) {  // a dump of up to 319 bytes, with a short prefix or none
            std::string bytes = in.piece(arg % 64 + (arg & 0x80 ? 256 : 0)), prefix = text(in, 4);
            const char *pre = arg & 0x40 ? nullptr : prefix.c_str();
            xk_util_strbuf_hexdump(ours, pre, bytes.data(), bytes.size()), xk::test::reference_hexdump(theirs, pre, bytes.data(), bytes.size());
        }
        if (op % 8 >= 6) {  // a substitution by a number, a text, or texts around a zero byte
            std::string needle = text(in, 4), head = text(in, 8), tail = text(in, 8);
            int max_count = static_cast<int8_t>(arg) % 5;
            if (needle.empty() && max_count == 0) max_count = 1;  // no limit would never end
            const char *format = op % 2 ? "%d" : arg & 0x40 ? "%s" : "%s%c%s";
            int got = op % 2 ? xk_util_strbuf_substitute(ours, needle.c_str(), max_count, format, arg - 100) : xk_util_strbuf_substitute(ours, needle.c_str(), max_count, format, head.c_str(), 0, tail.c_str());
            int want = op % 2 ? xk::test::substitute_by_appends(theirs, needle.c_str(), max_count, format, arg - 100) : xk::test::substitute_by_appends(theirs, needle.c_str(), max_count, format, head.c_str(), 0, tail.c_str());
            FUZZ_CHECK(got == want);
        }
        if (op % 8 >= 5) model = ours->str;
        same(ours, theirs, model);
        FUZZ_CHECK(ours->capacity >= before);  // the storage never shrinks
        if (model.size() > (1u << 16)) xk_util_strbuf_clear(ours), xk_util_strbuf_clear(theirs), model.clear();
    }
    FUZZ_CHECK(xk_util_strbuf_getstr(ours) == ours->str);
    xk_util_strbuf_free(ours), xk_util_strbuf_free(theirs);
}
