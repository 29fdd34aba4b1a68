#include "support/capture.h"

namespace xk::test {

Capture::Capture() : old_threshold_(xk_log_get_threshold()) {
    xk_trace_clear();
    xk_log_set_threshold(7);
    xk_log_set_sink(&Capture::sink, this);
}

Capture::~Capture() {
    xk_log_set_sink(nullptr, nullptr);
    xk_log_set_threshold(old_threshold_);
    xk_trace_clear();
}

void Capture::sink(void *context, int level, int flags, const char *func, const char *file, int line,
                   const char *text) {
    static_cast<Capture *>(context)->lines_.push_back(LogLine{level, flags, func, file, line, text});
}

std::vector<TraceRecord> Capture::traces() const {
    std::vector<TraceRecord> out;
    for (size_t i = 0; i < xk_trace_count(); ++i) {
        xk_trace_record r;
        if (xk_trace_get(i, &r) == 0) out.push_back(TraceRecord{r.func, r.file, r.line, r.status});
    }
    return out;
}

void Capture::clear() {
    lines_.clear();
    xk_trace_clear();
}

void ReportingTest::expect_single_trace(const char *func, uint32_t status) const {
    auto records = traces();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].func, func);
    EXPECT_EQ(records[0].status, status);
    EXPECT_GT(records[0].line, 0);
}

}  // namespace xk::test
