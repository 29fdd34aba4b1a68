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

TEST(Concurrency, BuffersAndGeneratorsKeepTheirOwnState) {
    std::vector<std::string> texts(4), wanted(4);
    std::vector<uint64_t> draws(4), out(4);
    on_threads([&](int t) {
        xk_util_strbuf *sb = xk_util_strbuf_new(4);
        xk_util_prng_state state;
        xk_util_seed_prng(&state, 42, 7);
        for (int i = 0; i < 2000; ++i, draws[t] += out[t])
            xk_util_strbuf_append_f(sb, "%d:%d,", t, i), xk_util_prng(&state, &out[t]),
                wanted[t] += std::to_string(t) + ":" + std::to_string(i) + ",";
        texts[t] = xk_util_strbuf_getstr(sb), xk_util_strbuf_free(sb);
    });
    for (int t = 0; t < 4; ++t) EXPECT_EQ(std::tuple(texts[t], draws[t]), std::tuple(wanted[t], draws[0]));
}

TEST(Concurrency, EveryThreadKeepsItsOwnTraceAndAllLinesReachTheLog) {
    xk::test::Capture capture;
    std::vector<size_t> traced(4), want;
    on_threads([&](int t) {
        for (int i = 0; i < 50 + t; ++i) xk_util_reset_signal(0);
        traced[t] = xk_trace_count(), xk_trace_clear();
    });
    for (int t = 0; t < 4; ++t) want.push_back(std::min<size_t>(50 + t, XK_TRACE_CAPACITY));
    EXPECT_EQ(std::tuple(traced, capture.lines().size(), capture.lines().at(0).text),
              std::tuple(want, 206u, "Invalid or unsupported signal value 0"));
}
