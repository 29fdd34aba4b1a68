#include "fault/driver.h"

#include <fnmatch.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>

extern "C" int __real_sigaction(int, const struct sigaction *, struct sigaction *);

namespace xk::fault {
namespace {

class PrintTally : public ::testing::Environment {
    void TearDown() override {
        if (tally().empty()) return;
        std::array<long, 2> all{};
        printf("\nInjected failures per row group:\n");
        for (const auto &[group, counts] : tally()) {
            printf("  %s: %ld allocation, %ld system-call failures\n", group.c_str(), counts[0], counts[1]);
            all = {all[0] + counts[0], all[1] + counts[1]};
        }
        printf("  in all: %ld allocation, %ld system-call failures\n", all[0], all[1]);
    }
};
const auto *const kTally = ::testing::AddGlobalTestEnvironment(new PrintTally);

std::string replaced(std::string text, const std::string &from, const char *to) {
    for (size_t at; !from.empty() && (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
    return text;
}

bool matches(const std::string &pattern, const std::string &text) {
    return fnmatch(pattern.c_str(), text.c_str(), FNM_NOESCAPE) == 0;
}

std::string render_chain(const std::vector<xk::test::TraceRecord> &records, uint32_t returned) {
    std::string out;
    for (const auto &r : records)
        out += (out.empty() ? "" : " ") + r.func + (r.status == returned ? "" : ":" + std::to_string(r.status));
    return out;
}

std::string render_lines(const std::vector<xk::test::LogLine> &logged) {
    std::string out;
    for (const auto &l : logged) {
        EXPECT_EQ(l.flags, 128) << l.text;
        EXPECT_EQ(l.file.empty(), l.line == 0) << l.text;  // a source file comes with its line
        out += (out.empty() ? "" : " | ") + l.text + (l.file.empty() ? "" : " @" + l.file) +
               (l.level == 3 ? "" : " L" + std::to_string(l.level));
    }
    return out;
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

    void expect(const Expect &e, const Seen &seen) {
        EXPECT_EQ(seen.status, e.status);
        EXPECT_PRED2(matches, e.out, replaced(seen.out, dir, "{D}"));
        EXPECT_PRED2(matches, e.chain, render_chain(traces(), seen.status));
        EXPECT_PRED2(matches, e.lines, replaced(render_lines(capture.lines()), dir, "{D}"));
    }

    // Fails point 0, 1, 2, ... until a run meets none; returns how many were met, and which
    // listed points were met.
    long drive(const Row &row, std::vector<int> &met) {
        for (long n = 0;; ++n) {
            SCOPED_TRACE(testing::Message() << "failure point " << n);
            size_t blocks = live_blocks();
            int fds = open_descriptors();
            Ctx ctx{row, n, dir, capture};
            Seen seen = row.op(ctx);
            EXPECT_EQ(live_blocks(), blocks) << "blocks leaked";
            EXPECT_EQ(open_descriptors(), fds) << "descriptors leaked";
            if (!ctx.injected) {
                expect(row.ok, seen);
                return n;
            }
            long last = static_cast<long>(row.points.size()) - 1;
            size_t point = static_cast<size_t>(std::min(seen.point >= 0 ? seen.point : n, last));
            ++met[point];
            expect(row.points[point], seen);
            if (HasFailure()) return n;
        }
    }
};

TEST_P(Faults, EachPointInTurn) {
    const Row &row = GetParam();
    const long listed = static_cast<long>(row.points.size());
    // Points named by the operation may move between runs while other processes come and
    // go: the row is driven again until every listed one has been met.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::vector<int> met(row.points.size());
        long points = drive(row, met);
        if (HasFailure()) return;
        if (row.count >= 0) {
            EXPECT_EQ(points, row.count > 0 ? row.count : listed);
        } else {
            EXPECT_GE(points, listed);
        }
        if (std::count(met.begin(), met.end(), 0) == 0) return;
    }
    ADD_FAILURE() << "a listed failure point was never met";
}

INSTANTIATE_TEST_SUITE_P(Table, Faults, ::testing::ValuesIn(rows()), [](const auto &info) {
    return std::string(info.param.group) + "_" + std::to_string(info.index);
});

}  // namespace
}  // namespace xk::fault
