// SPDX-License-Identifier: MIT
#include "support/capture.h"

namespace xk::test {

Capture::Capture() : old_threshold_(xk_log_get_threshold()) {
    xk_trace_clear(), xk_log_set_threshold(7);
    xk_log_set_sink(
        [](void *self, int level, int flags, const char *func, const char *file, int line, const char *text) {
            static_cast<Capture *>(self)->lines_.push_back(LogLine{level, flags, func, file, line, text});
        },
        this);
}

Capture::~Capture() {
    xk_log_set_sink(nullptr, nullptr), xk_log_set_threshold(old_threshold_), xk_trace_clear();
}

std::vector<TraceRecord> Capture::traces() const {
    std::vector<TraceRecord> out;
    for (xk_trace_record r; xk_trace_get(out.size(), &r) == 0;)
        out.push_back({r.func, r.file, r.line, r.status});
    return out;
}

void ReportingTest::expect_report(uint32_t got, uint32_t want, const std::vector<std::string> &texts,
                                  int depth) {
    std::vector<std::string> logged;
    for (const LogLine &l : lines()) {
        logged.push_back(l.text);
        // A line that carries a system reason names its source file and line; a plain one neither.
        bool reason = l.text.find("  Reason: ") != std::string::npos, located = l.file.rfind("src/", 0) == 0;
        EXPECT_TRUE(reason ? located && l.line > 0 : located || l.line == 0) << l.text;
    }
    std::vector<uint32_t> statuses;
    for (const TraceRecord &r : traces()) statuses.push_back(r.status);
    EXPECT_EQ(std::tuple(got, logged, statuses),
              std::tuple(want, texts, std::vector(depth < 0 ? want != XK_OK : depth, want)));
    capture.clear();
}

std::string ReportingTest::chain(const std::vector<uint32_t> &statuses) {
    std::string text;
    for (uint32_t st : statuses) text += std::to_string(st);
    for (const TraceRecord &r : traces()) {
        EXPECT_TRUE(r.file.rfind("src/", 0) == 0 && r.line > 0) << r.func;  // each record names its place
        text += "; " + r.func.substr(r.func.rfind("xk_util_", 0) ? 0 : 8) + " " + std::to_string(r.status);
    }
    for (const LogLine &l : lines()) text += " | " + l.text;
    return capture.clear(), text;
}

namespace {

// Fails any test after which the process holds a descriptor it did not hold before the test. It
// runs ahead of the result printer, so that a leak shows in the test's own verdict.
class DescriptorGuard : public ::testing::EmptyTestEventListener {
    static std::string open() {
        std::string open(4096, '0');
        for (int fd = 0; fd < 4096; ++fd) open[fd] += fcntl(fd, F_GETFD) != -1;
        return open;
    }
    void OnTestStart(const ::testing::TestInfo &) override { before_ = open(); }
    void OnTestEnd(const ::testing::TestInfo &) override {
        std::string after = open();
        for (int fd = 0; fd < 4096; ++fd)
            if (after[fd] > before_[fd]) ADD_FAILURE() << "descriptor " << fd << " left open by the test";
    }
    std::string before_;
};

const bool installed = [] {
    auto &listeners = ::testing::UnitTest::GetInstance()->listeners();
    auto *printer = listeners.Release(listeners.default_result_printer());
    listeners.Append(new DescriptorGuard);
    return printer && (listeners.Append(printer), true);
}();

}  // namespace

}  // namespace xk::test
