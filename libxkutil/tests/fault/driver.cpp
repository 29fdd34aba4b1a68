// Fails each point of each row in turn: every run must leave no block or descriptor behind
// and show its caller what the row lists; the failures delivered are tallied per row group.
#include "fault/driver.h"

#include <fnmatch.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>

extern "C" int __real_sigaction(int, const struct sigaction *, struct sigaction *);

namespace xk::fault {
namespace {

std::map<std::string, std::array<long, 2>> g_tally;  // allocations, system calls

class PrintTally : public ::testing::Environment {
    void TearDown() override {
        std::array<long, 2> all{};
        printf("\nInjected failures per row group:\n");
        for (const auto &[group, counts] : g_tally) {
            printf("  %s: %ld allocation, %ld system-call failures\n", group.c_str(), counts[0], counts[1]);
            all = {all[0] + counts[0], all[1] + counts[1]};
        }
        printf("  in all: %ld allocation, %ld system-call failures\n", all[0], all[1]);
    }
};
const auto *const kTally = ::testing::AddGlobalTestEnvironment(new PrintTally);

bool matches(const std::string &pattern, const std::string &text) {
    return fnmatch(pattern.c_str(), text.c_str(), FNM_NOESCAPE) == 0;
}

std::string status_name(uint32_t status) {
    const std::map<uint32_t, const char *> names = {
        {XK_OK, "OK"},         {kFailed, "FAILED"},         {XK_ERR_NOMEM, "NOMEM"},   {XK_ERR_SYSTEM, "SYSTEM"},
        {XK_ERR_READ, "READ"}, {XK_ERR_NOT_FOUND, "NOT_FOUND"}, {XK_ERR_ACCESS, "ACCESS"},
        {XK_ERR_ALREADY_RUNNING, "RUNNING"}};
    return names.count(status) ? names.at(status) : std::to_string(status);
}

// The run as the table writes it.
std::string observed(const Seen &seen, const xk::test::Capture &capture, const std::string &dir) {
    std::string text = seen.out.empty() ? status_name(seen.status) : show(status_name(seen.status), seen.out);
    const char *sep = " < ";
    for (const auto &r : capture.traces()) {
        text += sep + r.func + (r.status == seen.status ? "" : ":" + status_name(r.status));
        sep = " ";
    }
    sep = " : ";
    for (const auto &l : capture.lines()) {
        EXPECT_EQ(l.flags, 128) << l.text;
        EXPECT_EQ(l.file.empty(), l.line == 0) << l.text;  // a source file comes with its line
        text += sep + l.text + (l.file.empty() ? "" : " @" + l.file) + (l.level == 3 ? "" : " L" + std::to_string(l.level));
        sep = " | ";
    }
    for (size_t at; (at = text.find(dir)) != std::string::npos;) text.replace(at, dir.size(), "{D}");
    return text;
}

class Faults : public xk::test::ReportingTest, public ::testing::WithParamInterface<Row> {
protected:
    std::string dir;
    struct sigaction saved[32];

    void SetUp() override {
        char pattern[] = "/tmp/xkutil-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        for (const char *name : {"A", "b"}) std::ofstream(dir + "/" + name);
        std::ofstream(dir + "/src.txt") << "one\ntwo\nthree\n";
        for (int sig = 1; sig < 32; ++sig) __real_sigaction(sig, nullptr, &saved[sig]);
    }
    void TearDown() override {
        for (int sig = 1; sig < 32; ++sig) __real_sigaction(sig, &saved[sig], nullptr);
        std::filesystem::remove_all(dir);
    }

    // Fails point 0, 1, 2, ... until a run meets none; returns how many were met and marks
    // which listed points were.
    long drive(const Row &row, std::vector<int> &met) {
        for (long n = 0;; ++n) {
            SCOPED_TRACE(testing::Message() << "failure point " << n);
            size_t blocks = live_blocks();
            int fds = open_descriptors();
            Ctx ctx{row, n, dir, capture};
            Seen seen = row.op(ctx);
            EXPECT_EQ(live_blocks(), blocks) << "blocks leaked";
            EXPECT_EQ(open_descriptors(), fds) << "descriptors leaked";
            long last = static_cast<long>(row.points.size()) - 1;
            size_t point = static_cast<size_t>(std::min(seen.point >= 0 ? seen.point : n, last));
            if (ctx.injected) ++met[point];
            EXPECT_PRED2(matches, ctx.injected ? row.points[point] : row.ok, observed(seen, capture, dir));
            if (!ctx.injected || HasFailure()) return n;
        }
    }
};

TEST_P(Faults, EachPointInTurn) {
    const Row &row = GetParam();
    const long listed = static_cast<long>(row.points.size());
    // Points named by the operation may move between runs as other processes come and go:
    // the row is driven again until each listed one has been met.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::vector<int> met(row.points.size());
        long points = drive(row, met);
        if (HasFailure()) return;
        EXPECT_TRUE(row.count < 0 ? points >= listed : points == (row.count > 0 ? row.count : listed)) << points;
        if (std::count(met.begin(), met.end(), 0) == 0) return;
    }
    ADD_FAILURE() << "a listed failure point was never met";
}

INSTANTIATE_TEST_SUITE_P(Table, Faults, ::testing::ValuesIn(rows()), [](const auto &info) {
    return std::string(info.param.group) + "_" + std::to_string(info.index);
});

}  // namespace

void tally(const Row &row) { ++g_tally[row.group][row.call == Call::malloc_family ? 0 : 1]; }

}  // namespace xk::fault
