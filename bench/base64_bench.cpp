// SPDX-License-Identifier: MIT
// base64 encode and decode against OpenSSL, libsodium, Abseil and GLib, grouped by contract:
// GLib and Abseil (a new string per call) hand back a fresh block as libxkutil does; OpenSSL and
// libsodium write into the caller's buffer. "floor" is the least a fresh-block call can cost: malloc
// of the result's size, a copy of the finished result, free.
// Decoding runs on clean text, on MIME lines (76 digits, LF: "wrapped") and on PEM lines (64
// digits, CRLF: "pem"). Names: <pair>/<implementation>/<payload bytes>; bench/compare reads them.
#include <benchmark/benchmark.h>
#include <glib.h>
#include <openssl/evp.h>
#include <sodium.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "absl/strings/escaping.h"
#include "xk/base64.h"

namespace {

std::vector<uint8_t> random_bytes(size_t n) {
    std::mt19937_64 gen(n);
    std::vector<uint8_t> v(n);
    for (auto &b : v) b = static_cast<uint8_t>(gen());
    return v;
}

enum Lines { kClean, kMime, kPem };

std::string encoded(size_t n, Lines lines) {
    auto bytes = random_bytes(n);
    std::string clean = absl::Base64Escape(std::string(bytes.begin(), bytes.end()));
    if (lines == kClean) return clean;
    size_t width = lines == kMime ? 76 : 64;
    std::string out;
    for (size_t i = 0; i < clean.size(); i += width)
        out += clean.substr(i, width) + (lines == kMime ? "\n" : "\r\n");
    return out;
}

void encode_xk(benchmark::State &s) {
    auto in = random_bytes(s.range(0));
    for (auto _ : s) {
        char *out;
        size_t len;
        xk_util_base64_encode(in.data(), in.size(), &out, &len);
        benchmark::DoNotOptimize(out);
        free(out);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
void encode_openssl(benchmark::State &s) {
    auto in = random_bytes(s.range(0));
    std::vector<unsigned char> out(in.size() / 3 * 4 + 8);
    for (auto _ : s) benchmark::DoNotOptimize(EVP_EncodeBlock(out.data(), in.data(), int(in.size())));
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
void encode_sodium(benchmark::State &s) {
    auto in = random_bytes(s.range(0));
    std::vector<char> out(sodium_base64_ENCODED_LEN(in.size(), sodium_base64_VARIANT_ORIGINAL));
    for (auto _ : s)
        benchmark::DoNotOptimize(
            sodium_bin2base64(out.data(), out.size(), in.data(), in.size(), sodium_base64_VARIANT_ORIGINAL));
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
void encode_absl(benchmark::State &s) {
    auto bytes = random_bytes(s.range(0));
    std::string in(bytes.begin(), bytes.end());
    for (auto _ : s) benchmark::DoNotOptimize(absl::Base64Escape(in));
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
void encode_floor(benchmark::State &s) {
    auto in = random_bytes(s.range(0));
    std::string text = absl::Base64Escape(std::string(in.begin(), in.end()));
    for (auto _ : s) {
        char *out = static_cast<char *>(malloc(text.size() + 1));
        memcpy(out, text.c_str(), text.size() + 1);
        benchmark::DoNotOptimize(out);
        free(out);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
void encode_glib(benchmark::State &s) {
    auto in = random_bytes(s.range(0));
    for (auto _ : s) {
        gchar *out = g_base64_encode(in.data(), in.size());
        benchmark::DoNotOptimize(out);
        g_free(out);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}

template <Lines L>
void decode_xk(benchmark::State &s) {
    auto text = encoded(s.range(0), L);
    for (auto _ : s) {
        uint8_t *out;
        size_t len;
        xk_util_base64_decode(text.data(), text.size(), &out, &len);
        if (len != size_t(s.range(0))) s.SkipWithError("wrong length");
        free(out);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
template <Lines L>
void decode_openssl(benchmark::State &s) {
    auto text = encoded(s.range(0), L);
    std::vector<unsigned char> out(text.size());
    for (auto _ : s) {
        int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char *>(text.data()),
                                int(text.size()));
        if (n < 0) {
            s.SkipWithError("refuses this text");
            break;
        }
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
template <Lines L>
void decode_sodium(benchmark::State &s) {
    auto text = encoded(s.range(0), L);
    std::vector<unsigned char> out(text.size());
    for (auto _ : s) {
        size_t len;
        if (sodium_base642bin(out.data(), out.size(), text.data(), text.size(),
                              L == kClean ? nullptr : "\r\n", &len, nullptr,
                              sodium_base64_VARIANT_ORIGINAL) != 0) {
            s.SkipWithError("refuses this text");
            break;
        }
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
template <Lines L>
void decode_absl(benchmark::State &s) {
    auto text = encoded(s.range(0), L);
    for (auto _ : s) {
        std::string out;  // a fresh block per call, as ours hands back
        if (!absl::Base64Unescape(text, &out) || out.size() != size_t(s.range(0))) {
            s.SkipWithError("refuses this text");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
// OpenSSL's own road for line-broken text (its block decoder refuses line breaks).
template <Lines L>
void decode_openssl_stream(benchmark::State &s) {
    auto text = encoded(s.range(0), L);
    std::vector<unsigned char> out(text.size());
    EVP_ENCODE_CTX *ctx = EVP_ENCODE_CTX_new();
    for (auto _ : s) {
        int n = 0, last = 0;
        EVP_DecodeInit(ctx);
        if (EVP_DecodeUpdate(ctx, out.data(), &n, reinterpret_cast<const unsigned char *>(text.data()),
                             int(text.size())) < 0 ||
            EVP_DecodeFinal(ctx, out.data() + n, &last) < 0) {
            s.SkipWithError("refuses this text");
            break;
        }
    }
    EVP_ENCODE_CTX_free(ctx);
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
template <Lines L>
void decode_floor(benchmark::State &s) {
    auto bytes = random_bytes(s.range(0));
    for (auto _ : s) {
        uint8_t *out = static_cast<uint8_t *>(malloc(bytes.size() + 1));
        memcpy(out, bytes.data(), bytes.size());
        benchmark::DoNotOptimize(out);
        free(out);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
template <Lines L>
void decode_glib(benchmark::State &s) {
    auto text = encoded(s.range(0), L);
    for (auto _ : s) {
        gsize len;
        guchar *out = g_base64_decode(text.c_str(), &len);
        benchmark::DoNotOptimize(out);
        g_free(out);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}

#define XK_SIZES ->Arg(16)->Arg(64)->Arg(256)->Arg(65536)->Arg(1 << 20)
BENCHMARK(encode_xk)->Name("base64_encode/xk") XK_SIZES;
BENCHMARK(encode_openssl)->Name("base64_encode/openssl") XK_SIZES;
BENCHMARK(encode_sodium)->Name("base64_encode/sodium") XK_SIZES;
BENCHMARK(encode_absl)->Name("base64_encode/absl") XK_SIZES;
BENCHMARK(encode_glib)->Name("base64_encode/glib") XK_SIZES;
BENCHMARK(encode_floor)->Name("base64_encode/floor") XK_SIZES;
#define XK_DECODERS(L, pair)                                      \
    BENCHMARK(decode_xk<L>)->Name(pair "/xk") XK_SIZES;           \
    BENCHMARK(decode_openssl<L>)->Name(pair "/openssl") XK_SIZES; \
    BENCHMARK(decode_sodium<L>)->Name(pair "/sodium") XK_SIZES;   \
    BENCHMARK(decode_absl<L>)->Name(pair "/absl") XK_SIZES;       \
    BENCHMARK(decode_glib<L>)->Name(pair "/glib") XK_SIZES;       \
    BENCHMARK(decode_floor<L>)->Name(pair "/floor") XK_SIZES;
XK_DECODERS(kClean, "base64_decode")
XK_DECODERS(kMime, "base64_decode_wrapped")
XK_DECODERS(kPem, "base64_decode_pem")
BENCHMARK(decode_openssl_stream<kMime>)->Name("base64_decode_wrapped/openssl_stream") XK_SIZES;
BENCHMARK(decode_openssl_stream<kPem>)->Name("base64_decode_pem/openssl_stream") XK_SIZES;

}  // namespace
