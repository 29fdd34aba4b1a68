// The string buffer driven by a sequence of operations decoded from the input (appends, clear,
// hex limit, hexdump, substitution), each checked against a std::string model of the text: the
// text and its terminator, the capacity, the returned counts, the dump layout and the substitution.
#include <ctype.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "xk/errortrace.h"
#include "xk/log.h"
#include "xk/strbuf.h"

namespace {
void quiet_sink(void *, int, int, const char *, const char *, int, const char *) {}

constexpr size_t kModelLimit = 1 << 16;

// Reads the input one piece at a time; past the end every read gives zeros.
struct Reader {
    const uint8_t *p;
    const uint8_t *end;
    bool more() const { return p < end; }
    uint8_t byte() { return p < end ? *p++ : 0; }
    std::string piece(size_t n) {
        n = std::min(n, static_cast<size_t>(end - p));
        std::string s(reinterpret_cast<const char *>(p), n);
        p += n;
        return s;
    }
};

// The dump the buffer must append, built byte by byte as the layout rules read.
std::string reference_hexdump(int hex_limit, const char *prefix, const std::string &data) {
    std::string out;
    if (data.empty()) return out;
    const char *pre = prefix != nullptr ? prefix : "    ";
    unsigned char window[16];
    char pair[3];
    size_t i = 0;
    auto text_char = [](unsigned char c) { return isprint(c) ? static_cast<char>(c) : '.'; };
    for (; i < data.size() && (hex_limit == 0 || static_cast<int64_t>(i) < hex_limit); ++i) {
        if (i == 0) {
            out += pre;
        } else if (i % 16 == 0) {
            out += " : ";
            for (unsigned char c : window) out += text_char(c);
            out += '\n';
            out += pre;
        } else if (i % 8 == 0) {
            out += " - ";
        } else {
            out += ' ';
        }
        unsigned char b = static_cast<unsigned char>(data[i]);
        snprintf(pair, sizeof pair, "%02X", b);
        out += pair;
        window[i % 16] = b;
    }
    if (i > 0) {
        out += " : ";
        for (size_t k = 0; k <= (i - 1) % 16; ++k) out += text_char(window[k]);
    }
    return out + "\n";
}

// Left-to-right replacement without overlap or rescanning, at most max_count times (0: no limit,
// below 0: none); the returned value is the net change of the length.
std::string reference_replace(const std::string &text, const std::string &needle, int max_count,
                              const std::string &with, int *change) {
    *change = 0;
    if (needle.empty() && max_count == 0) return text;  // the library leaves this case alone
    std::string out;
    size_t cursor = 0;
    for (int counter = 0;; ++counter) {
        if (max_count != 0 && counter >= max_count) break;
        size_t found = text.find(needle, cursor);
        if (found == std::string::npos) break;
        out.append(text, cursor, found - cursor);
        out += with;
        *change += static_cast<int>(with.size()) - static_cast<int>(needle.size());
        cursor = found + needle.size();
    }
    return out + text.substr(cursor);
}

void check(const xk_util_strbuf *sb, const std::string &model) {
    size_t len = strlen(sb->str);
    if (len != model.size() || memcmp(sb->str, model.data(), len) != 0) __builtin_trap();
    if (static_cast<int64_t>(len) >= sb->capacity) __builtin_trap();  // the terminator is inside
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    xk_log_set_sink(quiet_sink, nullptr);
    Reader in{data, data + size};
    xk_util_strbuf *sb = xk_util_strbuf_new(in.byte() % 40);  // small capacities make appends grow
    if (sb == nullptr) __builtin_trap();
    std::string model;
    while (in.more()) {
        int32_t capacity_before = sb->capacity;
        switch (in.byte() % 8) {
            case 0: {  // counted text, which ends at its first zero byte
                std::string s = in.piece(in.byte() % 64);
                int n = xk_util_strbuf_append_f(sb, "%.*s", static_cast<int>(s.size()), s.data());
                size_t kept = strnlen(s.data(), s.size());
                if (n != static_cast<int>(kept)) __builtin_trap();
                model.append(s, 0, kept);
                break;
            }
            case 1: {  // one character; a zero counts but does not lengthen the text
                char c = static_cast<char>(in.byte());
                if (xk_util_strbuf_append_f(sb, "%c", c) != 1) __builtin_trap();
                if (c != '\0') model += c;
                break;
            }
            case 2: {  // a run of blanks, long enough to grow the storage several times over
                int width = in.byte() * 4;
                if (xk_util_strbuf_append_f(sb, "%*s", width, "") != width) __builtin_trap();
                model.append(static_cast<size_t>(width), ' ');
                break;
            }
            case 3:
                xk_util_strbuf_clear(sb);
                model.clear();
                break;
            case 4: {
                int limit = static_cast<int8_t>(in.byte());
                xk_util_strbuf_set_hex_limit(sb, limit);
                if (sb->hex_limit != limit) __builtin_trap();
                break;
            }
            case 5: {
                uint8_t how = in.byte();
                std::string bytes = in.piece(how % 64 + (how & 0x80 ? 256 : 0));
                std::string prefix = in.piece(how % 4);
                prefix.resize(strnlen(prefix.c_str(), prefix.size()));
                const char *pre = how & 0x40 ? nullptr : prefix.c_str();
                xk_util_strbuf_hexdump(sb, pre, bytes.data(), bytes.size());
                model += reference_hexdump(sb->hex_limit, pre, bytes);
                break;
            }
            case 6: {  // substitution by a number or by a short text, possibly holding the needle
                std::string needle = in.piece(in.byte() % 4);
                needle.resize(strnlen(needle.c_str(), needle.size()));
                int max_count = static_cast<int8_t>(in.byte()) % 5;
                uint8_t kind = in.byte();
                int change = 0;
                int got;
                std::string with;
                if (kind & 1) {
                    with = std::to_string(static_cast<int>(kind) - 100);
                    got = xk_util_strbuf_substitute(sb, needle.c_str(), max_count, "%d",
                                                    static_cast<int>(kind) - 100);
                } else {
                    with = in.piece(kind % 8);
                    with.resize(strnlen(with.c_str(), with.size()));
                    got = xk_util_strbuf_substitute(sb, needle.c_str(), max_count, "%s", with.c_str());
                }
                model = reference_replace(model, needle, max_count, with, &change);
                if (got != change) __builtin_trap();
                break;
            }
            case 7: {
                int v = static_cast<int8_t>(in.byte()) * 1000003;
                if (xk_util_strbuf_append_f(sb, "<%d>", v) != static_cast<int>(std::to_string(v).size()) + 2)
                    __builtin_trap();
                model += "<" + std::to_string(v) + ">";
                break;
            }
        }
        check(sb, model);
        if (sb->capacity < capacity_before) __builtin_trap();  // the storage never shrinks
        if (model.size() > kModelLimit) {
            xk_util_strbuf_clear(sb);
            model.clear();
        }
    }
    if (xk_util_strbuf_getstr(sb) != sb->str) __builtin_trap();
    xk_util_strbuf_free(sb);
    xk_trace_clear();
    return 0;
}
