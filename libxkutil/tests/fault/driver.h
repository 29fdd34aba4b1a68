// The rows of the failure table and what their operations share.
#ifndef XK_TESTS_FAULT_DRIVER_H
#define XK_TESTS_FAULT_DRIVER_H

#include <stdlib.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fault/seam.h"
#include "support/capture.h"
#include "xk/status.h"

namespace xk::fault {

// The status of a call that handed back its plain failure value (NULL, false, 0, -1).
constexpr uint32_t kFailed = 1;

// What a run showed its caller. `point`, when set, names the listed point the run met.
struct Seen {
    uint32_t status;
    std::string out;
    int point = -1;
};

struct Row;

// One run of a row; the operation arms the row's failure around the library calls with run().
struct Ctx {
    const Row &row;
    long n;
    const std::string &dir;
    xk::test::Capture &capture;
    bool injected = false;

    template <typename Calls>
    auto run(Calls calls);
    std::string path(const char *name) const { return dir + "/" + name; }
};

// A point is an fnmatch pattern for "<status> <outputs>", then " < " and the functions that
// traced, innermost first (":<status>" after one whose status differs from the one returned),
// then " : " and the log lines joined by " | " (" @<file>" after a line that names its source
// file, " L<level>" after one not at level 3). The scratch directory is written {D}.
struct Row {
    const char *group;
    Call call;
    int err;
    std::function<Seen(Ctx &)> op;
    std::string ok;                   // the run that meets no failure
    std::vector<std::string> points;  // point n meets points[min(n, last)] unless the run names one
    long count = 0;                   // points met: 0 as many as listed, -1 at least that many
};

void tally(const Row &row);

template <typename Calls>
auto Ctx::run(Calls calls) {
    capture.clear();
    arm(row.call, n, row.err);
    auto result = calls();
    injected = fired(row.call);
    disarm_all();
    if (injected) tally(row);
    return result;
}

// An out-pointer's value before the call, to tell "left alone" from "cleared".
template <typename T>
T *unset() {
    return reinterpret_cast<T *>(1);
}

// "unset", "null", or the block's text ("set" for a length of 0), after which it is freed.
template <typename T>
std::string take(T *p, size_t len = std::string::npos) {
    if (p == unset<T>() || p == nullptr) return p == nullptr ? "null" : "unset";
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(p);
    std::string out = len == 0 ? "set" : "";
    for (size_t i = 0; len == std::string::npos ? bytes[i] != 0 : i < len; ++i) {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\x%02x", bytes[i]);
        out += bytes[i] == '\n' || (bytes[i] >= 0x20 && bytes[i] < 0x7f) ? std::string(1, bytes[i]) : escaped;
    }
    free(p);
    return out;
}

// The values joined by single spaces.
template <typename... Values>
std::string show(const Values &...values) {
    std::ostringstream o;
    const char *sep = "";
    ((o << sep << values, sep = " "), ...);
    return o.str();
}

std::vector<Row> rows();
inline void PrintTo(const Row &row, std::ostream *out) { *out << row.group; }

}  // namespace xk::fault

#endif
