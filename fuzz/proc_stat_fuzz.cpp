// The /proc/<pid>/stat line parser on arbitrary text, and on lines of known numbers around a command
// name that holds a blank and ')': every field must come back in its place in the record.
#include <stdlib.h>
#include <string.h>

#include "harness.h"
#include "internal/process.h"

// The record's fields after the command name, in line order: i and u are signed and unsigned 32-bit
// numbers, S and U signed and unsigned ones kept in 64 bits, c the state character. Each sits at
// the next offset aligned to its width.
constexpr char kKinds[] = "iciiiiiuUUUUUUSSSSSSUUSUUUUUUUUUUUUUiiuuU";

void fuzz_one(fuzz::Input &in) {
    xk_util_proc_stat_record r;
    auto parse = [&r](const std::string &text) {  // from an exactly sized block: a read past it is caught
        char *line = static_cast<char *>(memcpy(malloc(text.size() + 1), text.c_str(), text.size() + 1));
        const xk_util_status st = xk_util_proc_stat_from_line(&r, line, text.size());
        return free(line), st;
    };
    const xk_util_status st = parse(std::string(reinterpret_cast<const char *>(in.data), in.size));
    FUZZ_CHECK(st == XK_OK || st == XK_ERR_SYSTEM);
    std::string comm = "( )", line;
    for (uint8_t c = 0; in.more() && (c = in.byte()) != 0x01;) comm += static_cast<char>(c);
    uint64_t want[sizeof kKinds - 1];
    for (size_t k = 0; k < sizeof kKinds - 1; ++k) {
        const char kind = kKinds[k];
        uint64_t v = kind == 'c' ? in.byte() : 0;
        for (int b = 0; b < 8 && kind != 'c'; ++b) v = v << 8 | in.byte();
        if (kind == 'c' && (v == 0 || v == ' ' || v == ')')) v = 'R';  // the state is a token of its own
        want[k] = v = kind == 'i' || kind == 'u' ? static_cast<uint32_t>(v) : v;
        line += (k == 0   ? ""
                 : k == 1 ? " " + comm + ") "
                          : " ") +
                (kind == 'c'                  ? std::string(1, static_cast<char>(v))
                 : kind == 'U' || kind == 'u' ? std::to_string(v)
                                              : std::to_string(kind == 'i' ? int32_t(v) : int64_t(v)));
    }
    FUZZ_CHECK(parse(line + "\n") == XK_OK);
    size_t offset = 0;
    for (size_t k = 0, width = 0; k < sizeof kKinds - 1; ++k, offset += width) {
        width = kKinds[k] == 'c' ? 1 : kKinds[k] == 'i' || kKinds[k] == 'u' ? 4 : 8;
        uint64_t got = 0;
        offset = (offset + width - 1) / width * width;
        memcpy(&got, reinterpret_cast<const char *>(&r) + offset, width);  // little-endian targets only
        FUZZ_CHECK(got == want[k]);
    }
    FUZZ_CHECK(offset == sizeof r);
}
