// SPDX-License-Identifier: MIT
// The 64-bit hash and the generator against reference loops of the same recurrences.
#include <benchmark/benchmark.h>
#include <glib.h>
#include <xxhash.h>

#include <cstring>
#include <random>
#include <vector>

#include "xk/hash.h"
#include "xk/random.h"

namespace {

inline uint64_t xorshift(uint64_t x) {
    x ^= x << 10;
    x ^= x >> 15;
    x ^= x << 4;
    x ^= x >> 13;
    return x;
}

uint64_t reference_hash(const uint8_t *p, size_t n) {
    uint64_t h = 1;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t b;
        memcpy(&b, p + i, 8);
        h = xorshift(h + b);
    }
    if (i < n) {
        uint64_t v = 0;
        for (; i < n; ++i) v = v << 8 | p[i];
        h = xorshift(h + v);
    }
    for (int r = 0; r < 16; ++r) h = xorshift(h);
    return h;
}

std::vector<uint8_t> data(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 131 + 7);
    return v;
}

void hash_xk(benchmark::State &s) {
    auto d = data(s.range(0));
    for (auto _ : s) {
        uint64_t h;
        xk_util_hash64(d.data(), d.size(), &h);
        benchmark::DoNotOptimize(h);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
void hash_reference(benchmark::State &s) {
    auto d = data(s.range(0));
    for (auto _ : s) benchmark::DoNotOptimize(reference_hash(d.data(), d.size()));
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
void hash_xxh64(benchmark::State &s) {
    auto d = data(s.range(0));
    for (auto _ : s) benchmark::DoNotOptimize(XXH64(d.data(), d.size(), 0));
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
void hash_xxh3(benchmark::State &s) {
    auto d = data(s.range(0));
    for (auto _ : s) benchmark::DoNotOptimize(XXH3_64bits(d.data(), d.size()));
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
BENCHMARK(hash_xk)->Name("hash64/xk")->Arg(1024)->Arg(65536)->Arg(1 << 20);
BENCHMARK(hash_reference)->Name("hash64/reference")->Arg(1024)->Arg(65536)->Arg(1 << 20);
BENCHMARK(hash_xxh64)->Name("hash64/xxh64")->Arg(1024)->Arg(65536)->Arg(1 << 20);
BENCHMARK(hash_xxh3)->Name("hash64/xxh3")->Arg(1024)->Arg(65536)->Arg(1 << 20);

// The generator's step written out plainly.
struct Reference {
    uint32_t index;
    uint64_t weyl;
    uint64_t words[64];
};
void reference_batch(Reference &st, uint64_t *out, size_t n) {
    uint32_t i = st.index;
    uint64_t w = st.weyl;
    for (size_t k = 0; k < n; ++k) {
        i = (i + 1) & 63;
        uint64_t t = st.words[i];
        t ^= t << 33;
        t ^= t >> 26;
        uint64_t v = st.words[(i + 11) & 63];
        v ^= v << 27;
        v ^= v >> 29;
        uint64_t nw = t ^ v;
        st.words[i] = nw;
        w += 0x61c8864680b583ebULL;
        out[k] = nw + (w ^ (w >> 27));
    }
    st.index = i;
    st.weyl = w;
}

constexpr size_t kWords = 1024;

void batch_xk(benchmark::State &s) {
    xk_util_prng_state st;
    xk_util_seed_prng(&st, 1, 0);
    std::vector<uint64_t> out(kWords);
    for (auto _ : s) {
        xk_util_prng_batch(&st, out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * kWords * 8);
}
void fill_xk(benchmark::State &s) {
    xk_util_prng_state st;
    xk_util_seed_prng(&st, 1, 0);
    std::vector<unsigned char> out(kWords * 8);
    for (auto _ : s) {
        xk_util_prng_fill(&st, out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * kWords * 8);
}
void batch_reference(benchmark::State &s) {
    xk_util_prng_state seeded;
    xk_util_seed_prng(&seeded, 1, 0);
    Reference st;
    st.index = seeded.index;
    st.weyl = seeded.weyl;
    memcpy(st.words, seeded.words, sizeof st.words);
    std::vector<uint64_t> out(kWords);
    for (auto _ : s) {
        reference_batch(st, out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * kWords * 8);
}
void batch_mt(benchmark::State &s) {
    std::mt19937_64 gen(1);
    std::vector<uint64_t> out(kWords);
    for (auto _ : s) {
        for (auto &w : out) w = gen();
        benchmark::DoNotOptimize(out.data());
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * kWords * 8);
}
void batch_glib(benchmark::State &s) {
    GRand *r = g_rand_new_with_seed(1);
    std::vector<uint32_t> out(kWords * 2);
    for (auto _ : s) {
        for (auto &w : out) w = g_rand_int(r);
        benchmark::DoNotOptimize(out.data());
    }
    g_rand_free(r);
    s.SetBytesProcessed(int64_t(s.iterations()) * kWords * 8);
}
BENCHMARK(batch_xk)->Name("prng_batch/xk");
BENCHMARK(fill_xk)->Name("prng_fill/xk");
BENCHMARK(batch_reference)->Name("prng_batch/reference");
BENCHMARK(batch_mt)->Name("prng_batch/mt19937_64");
BENCHMARK(batch_glib)->Name("prng_batch/g_rand_int");

}  // namespace
