// The /proc/<pid>/stat line parser on arbitrary lines, and on lines built from 52 known numbers
// around a command name that holds blanks and ')', whose fields must come back in their places.
#include <inttypes.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "internal/process.h"
#include "xk/errortrace.h"
#include "xk/log.h"

namespace {
void quiet_sink(void *, int, int, const char *, const char *, int, const char *) {}

constexpr int kLineFields = 52;

// Takes the next 8 input bytes (fewer at the end) as a number.
uint64_t take_u64(const uint8_t *&p, const uint8_t *end) {
    uint64_t v = 0;
    for (int k = 0; k < 8 && p < end; ++k) v = v << 8 | *p++;
    return v;
}

// Parses text from an exactly-sized block (text plus its NUL) so AddressSanitizer sees any overread.
xk_util_status parse(const std::string &text, xk_util_proc_stat_record *r) {
    char *line = static_cast<char *>(malloc(text.size() + 1));
    memcpy(line, text.data(), text.size());
    line[text.size()] = '\0';
    xk_util_status st = xk_util_proc_stat_from_line(r, line, text.size());
    free(line);
    return st;
}

// Field n (1-based) of the built line and the value it must parse to, as the record holds it.
struct Built {
    std::string line;
    uint64_t value[kLineFields + 1];  // value[n] for the numeric fields, as the record's bits
    char state;
};

// The command name is the input's leading bytes (up to the first 0x01) wrapped in parentheses,
// with a blank and a ')' forced in; the numbers come from the rest of the input.
Built build_line(const uint8_t *data, size_t size) {
    Built b{};
    const uint8_t *p = data;
    const uint8_t *end = data + size;
    std::string comm = "( )";
    while (p < end && *p != 0x01) comm.push_back(static_cast<char>(*p++));
    if (p < end) ++p;
    comm += ")";
    b.state = p < end ? static_cast<char>(*p++) : 'S';
    // The state is one token of its own: not a separator and not a ')' that would end the name.
    if (b.state == ' ' || b.state == '\0' || b.state == ')') b.state = 'R';
    std::string line;
    char number[32];
    for (int n = 1; n <= kLineFields; ++n) {
        if (n > 1) line += ' ';
        if (n == 2) {
            line += comm;
            continue;
        }
        if (n == 3) {
            line += b.state;
            continue;
        }
        uint64_t raw = take_u64(p, end);
        switch (n) {
            case 1:
            case 4:
            case 5:
            case 6:
            case 7:
            case 8:
            case 38:
            case 39: {
                int32_t v = static_cast<int32_t>(raw);
                snprintf(number, sizeof number, "%" PRId32, v);
                b.value[n] = static_cast<uint32_t>(v);
                break;
            }
            case 9:
            case 40:
            case 41: {
                uint32_t v = static_cast<uint32_t>(raw);
                snprintf(number, sizeof number, "%" PRIu32, v);
                b.value[n] = v;
                break;
            }
            case 16:
            case 17:
            case 18:
            case 19:
            case 20:
            case 21:
            case 24: {
                // Signed on the line; the unsigned fields keep the two's-complement bits.
                int64_t v = static_cast<int64_t>(raw);
                snprintf(number, sizeof number, "%" PRId64, v);
                b.value[n] = static_cast<uint64_t>(v);
                break;
            }
            default:
                snprintf(number, sizeof number, "%" PRIu64, raw);
                b.value[n] = raw;
                break;
        }
        line += number;
    }
    b.line = line + "\n";
    return b;
}

void check_fields(const Built &b, const xk_util_proc_stat_record &r) {
    const uint64_t got[kLineFields + 1] = {0,
                                           static_cast<uint32_t>(r.pid),
                                           0,
                                           0,
                                           static_cast<uint32_t>(r.ppid),
                                           static_cast<uint32_t>(r.pgrp),
                                           static_cast<uint32_t>(r.session),
                                           static_cast<uint32_t>(r.tty_nr),
                                           static_cast<uint32_t>(r.tpgid),
                                           r.flags,
                                           r.minflt,
                                           r.cminflt,
                                           r.majflt,
                                           r.cmajflt,
                                           r.utime,
                                           r.stime,
                                           r.cutime,
                                           r.cstime,
                                           r.priority,
                                           r.nice,
                                           r.num_threads,
                                           r.itrealvalue,
                                           r.starttime,
                                           r.vsize,
                                           static_cast<uint64_t>(r.rss),
                                           r.rsslim,
                                           r.startcode,
                                           r.endcode,
                                           r.startstack,
                                           r.kstkesp,
                                           r.kstkeip,
                                           r.signal,
                                           r.blocked,
                                           r.sigignore,
                                           r.sigcatch,
                                           r.wchan,
                                           r.nswap,
                                           r.cnswap,
                                           static_cast<uint32_t>(r.exit_signal),
                                           static_cast<uint32_t>(r.processor),
                                           r.rt_priority,
                                           r.policy,
                                           r.delayacct_blkio_ticks};
    for (int n = 1; n <= 42; ++n)
        if (n != 2 && n != 3 && got[n] != b.value[n]) __builtin_trap();
    if (r.state != b.state) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    xk_log_set_sink(quiet_sink, nullptr);
    xk_util_proc_stat_record r;
    std::string raw(reinterpret_cast<const char *>(data), size);
    xk_util_status st = parse(raw, &r);
    if (st != XK_OK && st != XK_ERR_SYSTEM) __builtin_trap();

    Built b = build_line(data, size);
    if (parse(b.line, &r) != XK_OK) __builtin_trap();
    check_fields(b, r);
    xk_trace_clear();
    return 0;
}
