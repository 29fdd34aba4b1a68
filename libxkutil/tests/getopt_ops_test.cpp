#include "support/capture.h"
#include "xk/options.h"

namespace {

using Strings = std::vector<std::string>;

// The argument vector over strings the caller keeps alive.
std::vector<char *> argv_of(Strings &args) {
    std::vector<char *> argv;
    for (auto &s : args) argv.push_back(s.data());
    return argv;
}

class GetoptTest : public xk::test::ReportingTest {
protected:
    int verbose = 0, count = -1, shadowed = 0;
    char *name = nullptr;
    xk_util_option table[6] = {
        {'v', "verbose", xk_util_getopt_flag, &verbose, 0},
        {'n', "count", xk_util_getopt_int, &count, 1},
        {'s', "name", xk_util_getopt_string, &name, 1},
        {'f', "flagged", xk_util_getopt_flag, &verbose, 1},
        {'i', "bare", xk_util_getopt_int, &count, 0},
        {'v', "verbose", xk_util_getopt_flag, &shadowed, 0},
    };  // a flag given a value, an integer given none, and a twin never reached: the first match wins
    ~GetoptTest() override { free(name); }
    // The destinations, then each record as "function status" (innermost first), then the log.
    std::string outcome() const {
        std::string text =
            std::to_string(verbose) + " " + std::to_string(count) + " " + (name ? name : "-") + " |";
        for (const auto &r : traces())
            text += " " + r.func.substr(r.func.rfind('_') + 1) + " " + std::to_string(r.status);
        for (const auto &l : lines()) text += " | " + l.func + " " + std::to_string(l.level) + " " + l.text;
        return text + (shadowed ? " shadowed" : "");
    }
};

TEST_F(GetoptTest, ScansAgainstTheTable) {
    const std::string a300(300, 'a'), pad(298, ' ');
    const std::pair<Strings, std::string> cases[] = {
        {{"-v", "--count", "5", "file"}, "1 5 - |"},
        {{"/verbose"}, "1 -1 - |"},
        {{"-verbose"}, "1 -1 - |"},
        {{"/-verbose"}, "1 -1 - |"},
        {{"/v"}, "1 -1 - |"},
        // Unknown, inexact or no options at all are passed over; "-vn" is a long name, not a cluster.
        {{"-vn", "--count=5", "--Verbose", "--verb", "--verbosely", "-V", "-", "/", "", "-n5"}, "0 -1 - |"},
        {{"-n", "12abc", "--name", "-v"}, "0 12 -v |"},  // a value may look like an option
        {{"-s", a300, "-n", pad + "12"}, "0 12 " + a300 + " |"},
        {{"-n", " -3", "-n", "abc", "-v"}, "0 -3 - | int 7 option 7 from 7"},
        {{"--name", "x", "-s", "y"}, "0 -1 x | string 7 option 7 from 7"},  // given twice
        {{"-s", a300 + "a"}, "0 -1 - | string 7 option 7 from 7"},
        {{"-n", " " + pad + "34"}, "0 -1 - | int 7 option 7 from 7"},
        {{"-f", "x"}, "0 -1 - | flag 7 option 7 from 7"},
        {{"--bare"}, "0 -1 - | int 3 option 3 from 3"},
        {{"-v", "-n"}, "1 -1 - | option 6 from 6 | process_option 3 Missing mandatory option\n"},
    };
    for (auto [args, want] : cases) {
        args.insert(args.begin(), "prog");
        verbose = 0, count = -1, free(name), name = nullptr;
        const xk_util_status st =
            xk_util_getopt(static_cast<int>(args.size()), argv_of(args).data(), table, 6);
        EXPECT_EQ(outcome(), want) << args[1];
        EXPECT_EQ(st, traces().empty() ? XK_OK : traces().back().status) << args[1];
        for (const auto &r : traces()) EXPECT_EQ(r.file, "src/getopt_ops");
        for (const auto &l : lines()) EXPECT_TRUE(l.flags == 128 && l.file.empty() && l.line == 0);
        capture.clear();
    }
}

// A handler of the caller's own: records the values it is given and returns a chosen status.
std::vector<const char *> g_values;
xk_util_status recording_handler(xk_util_option *option, const char *value, uint32_t *used) {
    g_values.push_back(value);
    *used = 7;  // the scanner steps by the descriptor, not by this
    return *static_cast<xk_util_status *>(option->dest);
}

TEST_F(GetoptTest, CallersHandlerStatusPassesThroughUnchanged) {
    xk_util_status result = 0xC0FFEE;
    xk_util_option own[2] = {{'a', "alpha", recording_handler, &result, 0},
                             {'b', "beta", recording_handler, &result, 1}};
    Strings args = {"prog", "-a", "--beta", "-a"};
    std::vector<char *> argv = argv_of(args);
    EXPECT_EQ(xk_util_getopt(4, argv.data(), own, 2), 0xC0FFEEu);
    result = XK_OK;
    EXPECT_EQ(xk_util_getopt(4, argv.data(), own, 2), XK_OK);
    EXPECT_EQ(g_values, std::vector<const char *>({nullptr, nullptr, argv[3]}));
    EXPECT_EQ(outcome(), "0 -1 - | option 12648430 from 12648430");
}

TEST_F(GetoptTest, StartIndexArgumentChecksAndHandlersAlone) {
    Strings args = {"-v", "-n"};
    std::vector<char *> argv = argv_of(args);
    EXPECT_EQ(xk_util_getopt_from(2, argv.data(), table, 3, 2), XK_OK);  // nothing left to scan
    EXPECT_EQ(verbose, 0);
    EXPECT_EQ(xk_util_getopt_from(1, argv.data(), table, 3, 0), XK_OK);  // the program name too
    const std::vector<xk_util_status> refused = {
        xk_util_getopt_from(2, argv.data(), table, 3, -1), xk_util_getopt_from(2, argv.data(), nullptr, 3, 1),
        xk_util_getopt(2, nullptr, table, 3), xk_util_getopt(0, argv.data(), table, 3),
        xk_util_getopt(2, argv.data(), table, 0)};
    EXPECT_EQ(refused, (std::vector<xk_util_status>{7, 3, 3, 7, 7}));
    EXPECT_EQ(outcome(), "1 -1 - | from 7 from 3 getopt 3 getopt 7 getopt 7");
    xk_util_option no_dest = {'x', "x", xk_util_getopt_flag, nullptr, 0};
    uint32_t used = 0;
    EXPECT_TRUE(xk_util_getopt_flag(&no_dest, nullptr, &used) == XK_ERR_NULL_ARG &&
                xk_util_getopt_string(&table[2], "v", nullptr) == XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_getopt_int(&table[1], "7", &used), XK_OK);
    EXPECT_EQ(std::make_pair(used, count), std::make_pair(2u, 7));
}

}  // namespace
