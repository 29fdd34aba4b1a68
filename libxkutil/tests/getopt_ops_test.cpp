#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "support/capture.h"
#include "xk/options.h"

namespace {

// An argument vector built from literals, kept alive for the test.
class Argv {
public:
    Argv(std::initializer_list<std::string> args) : text_(args) {
        for (auto &s : text_) ptrs_.push_back(s.data());
    }
    Argv(const Argv &) = delete;  // the pointers refer to this object's strings
    int argc() const { return static_cast<int>(ptrs_.size()); }
    char **argv() { return ptrs_.data(); }

private:
    std::vector<std::string> text_;
    std::vector<char *> ptrs_;
};

class GetoptTest : public xk::test::ReportingTest {
protected:
    int verbose = 0;
    int count = -1;
    char *name = nullptr;
    xk_util_option table[3] = {
        {'v', "verbose", xk_util_getopt_flag, &verbose, 0},
        {'n', "count", xk_util_getopt_int, &count, 1},
        {'s', "name", xk_util_getopt_string, &name, 1},
    };
    ~GetoptTest() override { free(name); }

    xk_util_status scan(Argv args) { return xk_util_getopt(args.argc(), args.argv(), table, 3); }
    void expect_trace_chain(std::vector<std::string> funcs, xk_util_status status) {
        auto records = traces();
        ASSERT_EQ(records.size(), funcs.size());
        for (size_t k = 0; k < funcs.size(); ++k) {
            EXPECT_EQ(records[k].func, funcs[k]);
            EXPECT_EQ(records[k].file, "src/getopt_ops");
            EXPECT_EQ(records[k].status, status);
        }
        capture.clear();
    }
};

TEST_F(GetoptTest, ShortAndLongOptionsAmongOtherArguments) {
    EXPECT_EQ(scan({"prog", "-v", "--count", "5", "file"}), XK_OK);
    EXPECT_EQ(verbose, 1);
    EXPECT_EQ(count, 5);
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(GetoptTest, NameFormsAndExactMatching) {
    for (const char *form : {"/verbose", "-verbose", "--verbose", "/-verbose", "-v", "/v"}) {
        verbose = 0;
        EXPECT_EQ(scan({"prog", form}), XK_OK);
        EXPECT_EQ(verbose, 1) << form;
    }
    int e_flag = 0;  // "-verbose" and "-ev" are long names, never clusters of short ones
    table[2] = {'e', "", xk_util_getopt_flag, &e_flag, 0};
    verbose = 0;
    EXPECT_EQ(
        scan({"prog", "-ev", "--count=5", "--Verbose", "--verb", "--verbosely", "-V", "-", "/", "", "-n5"}),
        XK_OK);
    EXPECT_EQ(e_flag, 0);
    EXPECT_EQ(verbose, 0);
    EXPECT_EQ(count, -1);
    table[2] = {'v', "verbose", xk_util_getopt_flag, &e_flag, 0};  // the first match wins
    EXPECT_EQ(scan({"prog", "-v", "--verbose"}), XK_OK);
    EXPECT_EQ(verbose, 1);
    EXPECT_EQ(e_flag, 0);
}

TEST_F(GetoptTest, ValueTakingOptionInLastPlaceIsMissingItsValue) {
    EXPECT_EQ(scan({"prog", "-v", "-n"}), XK_ERR_SYSTEM);
    EXPECT_EQ(verbose, 1);  // options before the failure keep their values
    ASSERT_EQ(lines().size(), 1u);
    const auto &line = lines()[0];
    EXPECT_EQ(line.level, 3);
    EXPECT_EQ(line.flags, 128);
    EXPECT_EQ(line.func, "process_option");
    EXPECT_EQ(line.file, "");
    EXPECT_EQ(line.line, 0);
    EXPECT_EQ(line.text, "Missing mandatory option\n");
    expect_trace_chain({"process_option", "xk_util_getopt_from"}, XK_ERR_SYSTEM);
}

TEST_F(GetoptTest, ValuesAndTheFirstFailingHandler) {
    EXPECT_EQ(scan({"prog", "-n", "12abc", "--name", "-v"}), XK_OK);  // a value may look like an option
    EXPECT_EQ(count, 12);
    EXPECT_STREQ(name, "-v");
    EXPECT_EQ(verbose, 0);
    EXPECT_EQ(scan({"prog", "-n", " -3", "-n", "abc", "-v"}), XK_ERR_INVALID);
    EXPECT_EQ(count, -3);
    EXPECT_EQ(verbose, 0);  // not looked at after the failure
    expect_trace_chain({"xk_util_getopt_int", "process_option", "xk_util_getopt_from"}, XK_ERR_INVALID);
    EXPECT_EQ(scan({"prog", "--name", "again"}), XK_ERR_INVALID);  // a string option given twice
    EXPECT_STREQ(name, "-v");
    expect_trace_chain({"xk_util_getopt_string", "process_option", "xk_util_getopt_from"}, XK_ERR_INVALID);
    EXPECT_TRUE(lines().empty());  // the handlers never log
}

TEST_F(GetoptTest, ValuesOfAtMost300Characters) {
    EXPECT_EQ(scan({"prog", "-s", std::string(300, 'a')}), XK_OK);
    EXPECT_EQ(name, std::string(300, 'a'));
    free(name);
    name = nullptr;
    EXPECT_EQ(scan({"prog", "-s", std::string(301, 'a')}), XK_ERR_INVALID);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(scan({"prog", "-n", std::string(298, ' ') + "12"}), XK_OK);
    EXPECT_EQ(scan({"prog", "-n", std::string(299, ' ') + "34"}), XK_ERR_INVALID);
    EXPECT_EQ(count, 12);
}

TEST_F(GetoptTest, HandlerAndDescriptorMismatches) {
    table[0].has_value = 1;
    EXPECT_EQ(scan({"prog", "-v", "x"}), XK_ERR_INVALID);
    expect_trace_chain({"xk_util_getopt_flag", "process_option", "xk_util_getopt_from"}, XK_ERR_INVALID);
    table[1].has_value = 0;
    EXPECT_EQ(scan({"prog", "-n"}), XK_ERR_NULL_ARG);
    expect_trace_chain({"xk_util_getopt_int", "process_option", "xk_util_getopt_from"}, XK_ERR_NULL_ARG);
    xk_util_option no_dest = {'x', "x", xk_util_getopt_flag, nullptr, 0};
    uint32_t used = 0;
    EXPECT_EQ(xk_util_getopt_flag(&no_dest, nullptr, &used), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_getopt_string(&table[2], "v", nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_getopt_int(&table[1], "7", &used), XK_OK);
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(verbose, 0);
}

// A handler of the caller's own: records the values it is given and returns a chosen status.
struct Seen {
    std::vector<const char *> values;
    xk_util_status result = XK_OK;
};
xk_util_status recording_handler(xk_util_option *option, const char *value, uint32_t *used) {
    auto *seen = static_cast<Seen *>(option->dest);
    seen->values.push_back(value);
    *used = 7;  // the scanner steps by the descriptor, not by this
    return seen->result;
}

TEST_F(GetoptTest, CallersHandlerStatusPassesThroughUnchanged) {
    Seen seen;
    xk_util_option own[2] = {{'a', "alpha", recording_handler, &seen, 0},
                             {'b', "beta", recording_handler, &seen, 1}};
    Argv args{"prog", "-a", "--beta", "x", "-a"};
    EXPECT_EQ(xk_util_getopt(args.argc(), args.argv(), own, 2), XK_OK);
    EXPECT_EQ(seen.values, std::vector<const char *>({nullptr, args.argv()[3], nullptr}));
    seen.result = 0xC0FFEEu;
    EXPECT_EQ(xk_util_getopt(args.argc(), args.argv(), own, 2), 0xC0FFEEu);
    EXPECT_EQ(seen.values.size(), 4u);
    expect_trace_chain({"process_option", "xk_util_getopt_from"}, 0xC0FFEEu);
}

TEST_F(GetoptTest, StartIndexAndArgumentChecks) {
    Argv args{"-v", "-n"};
    EXPECT_EQ(xk_util_getopt_from(args.argc(), args.argv(), table, 3, 2), XK_OK);  // nothing to scan
    EXPECT_EQ(verbose, 0);
    EXPECT_EQ(xk_util_getopt_from(1, args.argv(), table, 3, 0), XK_OK);  // the program name too
    EXPECT_EQ(verbose, 1);
    EXPECT_TRUE(traces().empty());
    EXPECT_EQ(xk_util_getopt_from(2, args.argv(), table, 3, -1), XK_ERR_INVALID);
    expect_trace_chain({"xk_util_getopt_from"}, XK_ERR_INVALID);
    EXPECT_EQ(xk_util_getopt(2, nullptr, table, 3), XK_ERR_NULL_ARG);
    expect_trace_chain({"xk_util_getopt"}, XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_getopt_from(2, args.argv(), nullptr, 3, 1), XK_ERR_NULL_ARG);
    expect_trace_chain({"xk_util_getopt_from"}, XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_getopt(0, args.argv(), table, 3), XK_ERR_INVALID);
    EXPECT_EQ(xk_util_getopt(2, args.argv(), table, 0), XK_ERR_INVALID);
    expect_trace_chain({"xk_util_getopt", "xk_util_getopt"}, XK_ERR_INVALID);
}

}  // namespace
