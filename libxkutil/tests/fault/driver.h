// One row per (operation, failure kind); the driver fails each point of a row in turn.
#ifndef XK_TESTS_FAULT_DRIVER_H
#define XK_TESTS_FAULT_DRIVER_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fault/seam.h"
#include "support/capture.h"
#include "xk/status.h"

namespace xk::fault {

constexpr uint32_t kNoMem = XK_ERR_NOMEM, kSys = XK_ERR_SYSTEM;
// The "status" of a call that returns a plain value and handed back its failure value.
constexpr uint32_t kNull = 1;

// What a run showed its caller: the status and the out-parameters as text. `point`, when set,
// names the listed point the run met, for operations whose points move between runs.
struct Seen {
    uint32_t status;
    std::string out;
    int point = -1;
};

// What a failure point must show. `out`, `chain` and `lines` are fnmatch patterns, matched
// with the scratch directory written as {D}. The chain names the functions that traced,
// innermost first, each with ":<status>" where that differs from the status returned. The
// lines are joined by " | ", each with " @<file>" when it carries one and " L<level>" when
// its level is not 3.
struct Expect {
    uint32_t status;
    std::string out, chain = "", lines = "";
};

struct Row;

// Injected failures per row group: allocations, then system calls.
inline std::map<std::string, std::array<long, 2>> &tally() {
    static std::map<std::string, std::array<long, 2>> counts;
    return counts;
}

// One run of a row: the operation arms the failure around the library call with run().
struct Ctx {
    const Row &row;
    long n;
    const std::string &dir;
    xk::test::Capture &capture;
    bool injected = false;

    template <typename Call_>
    auto run(Call_ call);
    std::string path(const char *name) const { return dir + "/" + name; }
};

struct Row {
    const char *group;  // the operation, as the tally names it
    Call call;
    int err;
    std::vector<Expect> points;  // point n meets points[min(n, last)]
    Expect ok;                   // the run that meets no failure
    std::function<Seen(Ctx &)> op;
    long count = 0;  // points to meet: 0 as many as listed, -1 at least that many, else exactly
};

template <typename Call_>
auto Ctx::run(Call_ call) {
    capture.clear();
    arm(row.call, n, row.err);
    auto result = call();
    injected = fired(row.call);
    disarm_all();
    if (injected) ++tally()[row.group][row.call == Call::malloc_family ? 0 : 1];
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
