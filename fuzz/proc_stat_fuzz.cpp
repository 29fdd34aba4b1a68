// SPDX-License-Identifier: MIT
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
    xk_util_proc_stat_record r{};                 // padding zero, as in the image below
    auto parse = [&r](const std::string &text) {  // from an exactly sized block: a read past it is caught
        char *line = static_cast<char *>(memcpy(malloc(text.size() + 1), text.c_str(), text.size() + 1));
        const xk_util_status st = xk_util_proc_stat_from_line(&r, line, text.size());
        return free(line), st;
    };
    const xk_util_status st = parse(std::string(reinterpret_cast<const char *>(in.data), in.size));
    FUZZ_CHECK(st == XK_OK || st == XK_ERR_SYSTEM);
    std::string comm = "( )", line;
    for (uint8_t c = 0; in.more() && (c = in.byte()) != 0x01;) comm += static_cast<char>(c);
    unsigned char want[sizeof r] = {};  // the record image
    size_t offset = 0;
    for (const char *kind = kKinds; *kind != '\0' && offset < sizeof r; ++kind) {
        const size_t width = *kind == 'c' ? 1 : *kind == 'i' || *kind == 'u' ? 4 : 8;
        uint64_t v = 0;
        for (size_t b = 0; b < width; ++b) v = v << 8 | in.byte();
        if (*kind == 'c' && (v == 0 || v == ' ' || v == ')')) v = 'R';  // the state is a token of its own
        offset = (offset + width - 1) / width * width;
        memcpy(want + offset, &v, width);  // little-endian targets only
        offset += width;
        line += kind == kKinds ? "" : kind == kKinds + 1 ? " " + comm + ") " : " ";
        line += *kind == 'c'                   ? std::string(1, static_cast<char>(v))
                : *kind == 'U' || *kind == 'u' ? std::to_string(v)
                                               : std::to_string(*kind == 'i' ? int32_t(v) : int64_t(v));
    }
    FUZZ_CHECK(offset == sizeof r && parse(line + "\n") == XK_OK && memcmp(&r, want, sizeof r) == 0);
}
