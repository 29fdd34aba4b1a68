// SPDX-License-Identifier: MIT
#include "support/capture.h"

namespace {
using Strings = std::vector<std::string>;

// A handler of the caller's own: returns the status its destination holds; the count it sets is
// ignored, the scanner steps by the descriptor.
xk_util_status recording(xk_util_option *option, const char *, uint32_t *used) {
    return *used = 7, *static_cast<xk_util_status *>(option->dest);
}

int verbose, count, shadowed;
char *name;
xk_util_status own = 0xC0FFEE;
// A flag given a value, an integer given none, and a twin never reached: the first match wins.
// clang-format off
xk_util_option table[8] = {
    {'v', "verbose", xk_util_getopt_flag, &verbose, 0}, {'n', "count", xk_util_getopt_int, &count, 1},
    {'s', "name", xk_util_getopt_string, &name, 1}, {'f', "flagged", xk_util_getopt_flag, &verbose, 1},
    {'i', "bare", xk_util_getopt_int, &count, 0}, {'v', "verbose", xk_util_getopt_flag, &shadowed, 0},
    {'a', "alpha", recording, &own, 0}, {'b', "beta", recording, &own, 1}};
// clang-format on

using GetoptTest = xk::test::ReportingTest;

// Scans "prog" and the arguments; the status, the destinations, each record as "function status"
// (innermost first), then the log.
std::string scan(xk::test::Capture &capture, Strings args) {
    std::vector<char *> argv = {const_cast<char *>("prog")};
    for (auto &s : args) argv.push_back(s.data());
    verbose = 0, count = -1, free(name), name = nullptr, capture.clear();
    std::string text = std::to_string(xk_util_getopt(static_cast<int>(argv.size()), argv.data(), table, 8));
    text += ": " + std::to_string(verbose) + " " + std::to_string(count) + " " + (name ? name : "-");
    for (const auto &r : capture.traces())
        text += " " + r.func.substr(r.func.rfind('_') + 1) + " " + std::to_string(r.status);
    for (const auto &l : capture.lines()) text += " | " + l.func + " " + l.text;
    return text + (shadowed ? " shadowed" : "");
}

TEST_F(GetoptTest, ScansAgainstTheTableFromAnyStart) {
    const std::string a300(300, 'a'), pad(298, ' ');
    const std::pair<Strings, std::string> cases[] = {
        {{"-v", "--count", "5", "file"}, "0: 1 5 -"},
        {{"/v"}, "0: 1 -1 -"},
        // Unknown, inexact or no options at all are passed over; "-vn" is a long name, not a cluster.
        {{"-vn", "--count=5", "--Verbose", "--verb", "--verbosely", "-V", "-", "/", "", "-n5"}, "0: 0 -1 -"},
        {{"-n", "12abc", "--name", "-v"}, "0: 0 12 -v"},  // a value may look like an option
        {{"-s", a300, "-n", pad + "12"}, "0: 0 12 " + a300},
        {{"-n", " -3", "-n", "abc", "-v"}, "7: 0 -3 - int 7 option 7 from 7"},
        {{"--name", "x", "-s", "y"}, "7: 0 -1 x string 7 option 7 from 7"},  // given twice
        {{"-s", a300 + "a"}, "7: 0 -1 - string 7 option 7 from 7"},
        {{"-n", " " + pad + "34"}, "7: 0 -1 - int 7 option 7 from 7"},
        {{"-f", "x"}, "7: 0 -1 - flag 7 option 7 from 7"},
        {{"--bare"}, "3: 0 -1 - int 3 option 3 from 3"},
        {{"-v", "-n"}, "6: 1 -1 - option 6 from 6 | process_option Missing mandatory option\n"},
        // The caller's handler: no value for a flag, the next argument otherwise; its status passes through.
        {{"-a", "--beta", "-a"}, "12648430: 0 -1 - option 12648430 from 12648430"},
    };
    for (const auto &[args, want] : cases) EXPECT_EQ(scan(capture, args), want) << args[0];
    own = XK_OK;
    EXPECT_EQ(scan(capture, {"-a", "--beta", "-a", "-v"}), "0: 1 -1 -");
    // The start index (nothing left to scan; the program name, missing its value, is scanned too), the
    // argument checks, and the handlers called alone.
    char v[] = "-v", n[] = "-n", *argv[] = {n, v};
    xk_util_option no_dest = {'x', "x", xk_util_getopt_flag, nullptr, 0};
    uint32_t used = 0;
    std::string got =
        chain({xk_util_getopt_from(2, argv, table, 3, 2), xk_util_getopt_from(1, argv, table, 3, 0),
               xk_util_getopt_from(2, argv, table, 3, -1), xk_util_getopt_from(2, argv, nullptr, 3, 1),
               xk_util_getopt(2, nullptr, table, 3), xk_util_getopt(0, argv, table, 3),
               xk_util_getopt(2, argv, table, 0), xk_util_getopt_flag(&no_dest, nullptr, &used),
               xk_util_getopt_string(&table[2], "v", nullptr), xk_util_getopt_int(&table[1], "7", &used)});
    EXPECT_EQ(
        got + " " + std::to_string(used) + std::to_string(count),
        "0673377330; process_option 6; getopt_from 6; getopt_from 7; getopt_from 3; getopt 3; getopt 7; "
        "getopt 7; getopt_flag 3; getopt_string 3 | Missing mandatory option\n 27");
}

}  // namespace
