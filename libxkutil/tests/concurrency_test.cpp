// Distinct records used from several threads at once must not disturb each other; the
// companions take calls from every thread. The tsan preset runs these too.
#include <thread>

#include "support/capture.h"

template <typename Work>
void on_threads(Work work) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(work, t);
    for (std::thread &thread : threads) thread.join();
}

TEST(Concurrency, BuffersGeneratorsSumsAndCollectionsKeepTheirOwnState) {
    xk_util_prng_state reference;
    xk_util_seed_prng(&reference, 42, 7);
    std::vector<uint64_t> expected(4096);
    xk_util_prng_batch(&reference, expected.data(), expected.size());
    std::vector<std::string> texts(4), wanted(4);
    std::vector<int> good(4, 0);
    on_threads([&](int t) {
        xk_util_strbuf *sb = xk_util_strbuf_new(4);
        xk_util_prng_state state;
        xk_util_seed_prng(&state, 42, 7);
        std::vector<uint64_t> got(expected.size());
        xk_util_prng_batch(&state, got.data(), got.size());
        xk_util_sum sum;
        xk_util_sum_init(&sum, 8);
        xk_collection *words = xk_collection_new("words", nullptr, nullptr, free);
        for (int i = 0; i < 2000; ++i) {
            xk_util_strbuf_append_f(sb, "%d:%d,", t, i);
            wanted[t] += std::to_string(t) + ":" + std::to_string(i) + ",";
            xk_util_sum_inc(&sum, t + 1.0);
            xk_collection_element_attach(words, strdup("word"));
        }
        texts[t] = xk_util_strbuf_getstr(sb);
        good[t] = got == expected && xk_util_sum_get_total(&sum) == 2000.0 * (t + 1) &&
                  xk_collection_len(words) == 2000;
        xk_util_strbuf_free(sb);
        xk_util_sum_free(&sum);
        xk_collection_free(words);
    });
    EXPECT_EQ(std::tuple(texts, good), std::tuple(wanted, std::vector<int>(4, 1)));
}

TEST(Concurrency, EveryThreadKeepsItsOwnTraceAndAllLinesReachTheLog) {
    xk::test::Capture capture;
    std::vector<size_t> traced(4), want;
    on_threads([&](int t) {
        xk_trace_clear();
        for (int i = 0; i < 50 + t; ++i) xk_util_reset_signal(0);
        traced[t] = xk_trace_count();
        xk_trace_clear();
    });
    for (int t = 0; t < 4; ++t) want.push_back(std::min<size_t>(50 + t, XK_TRACE_CAPACITY));
    EXPECT_EQ(std::tuple(traced, capture.lines().size()), std::tuple(want, 206u));
    for (const auto &line : capture.lines()) EXPECT_EQ(line.text, "Invalid or unsupported signal value 0");
}
