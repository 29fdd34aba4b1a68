// Distinct records used from several threads at once must not disturb each other; the
// companions' log and trace take calls from every thread. Run under the tsan preset too.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

#include "support/capture.h"
#include "xk/xkutil.h"

namespace {

constexpr int kThreads = 4;

template <typename Work>
void on_threads(Work work) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
    for (std::thread &thread : threads) thread.join();
}

TEST(Concurrency, StringBuffersGrowIndependently) {
    std::vector<std::string> results(kThreads);
    on_threads([&](int t) {
        xk_util_strbuf *sb = xk_util_strbuf_new(4);
        for (int i = 0; i < 2000; ++i) xk_util_strbuf_append_f(sb, "%d:%d,", t, i);
        results[t] = xk_util_strbuf_getstr(sb);
        xk_util_strbuf_free(sb);
    });
    for (int t = 0; t < kThreads; ++t) {
        std::string expected;
        for (int i = 0; i < 2000; ++i) expected += std::to_string(t) + ":" + std::to_string(i) + ",";
        EXPECT_EQ(results[t], expected) << "thread " << t;
    }
}

TEST(Concurrency, GeneratorsSumsAndCollectionsKeepTheirOwnState) {
    xk_util_prng_state reference;
    xk_util_seed_prng(&reference, 42, 7);
    std::vector<uint64_t> expected(4096);
    xk_util_prng_batch(&reference, expected.data(), expected.size());
    std::vector<int> good(kThreads, 0);
    on_threads([&](int t) {
        xk_util_prng_state state;
        xk_util_seed_prng(&state, 42, 7);
        std::vector<uint64_t> got(expected.size());
        xk_util_prng_batch(&state, got.data(), got.size());
        xk_util_sum sum;
        xk_util_sum_init(&sum, 8);
        for (int i = 1; i <= 1000; ++i) xk_util_sum_inc(&sum, t + 1.0);
        double total = xk_util_sum_get_total(&sum);
        xk_util_sum_free(&sum);
        xk_collection *words = xk_collection_new("words", nullptr, nullptr, free);
        for (int i = 0; i < 500; ++i) xk_collection_element_attach(words, strdup("word"));
        int32_t count = xk_collection_len(words);
        xk_collection_free(words);
        good[t] = got == expected && total == 1000.0 * (t + 1) && count == 500;
    });
    for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(good[t]) << "thread " << t;
}

TEST(Concurrency, EveryThreadKeepsItsOwnTraceAndAllLinesReachTheLog) {
    xk::test::Capture capture;
    std::vector<size_t> traced(kThreads);
    on_threads([&](int t) {
        xk_trace_clear();
        for (int i = 0; i < 50 + t; ++i) xk_util_reset_signal(0);
        traced[t] = xk_trace_count();
        xk_trace_clear();
    });
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(traced[t], std::min<size_t>(50 + t, XK_TRACE_CAPACITY)) << "thread " << t;
    EXPECT_EQ(capture.lines().size(), static_cast<size_t>(4 * 50 + 0 + 1 + 2 + 3));
    for (const auto &line : capture.lines()) EXPECT_EQ(line.text, "Invalid or unsupported signal value 0");
}

}  // namespace
