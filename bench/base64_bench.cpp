// base64 encode and decode against OpenSSL, libsodium, Abseil and GLib.
// Names: <pair>/<implementation>/<input bytes>; bench/compare reads them in that form.
#include <benchmark/benchmark.h>
#include <glib.h>
#include <openssl/evp.h>
#include <sodium.h>

#include <cstdlib>
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

std::string encoded(size_t n, bool wrapped) {
    auto bytes = random_bytes(n);
    std::string clean = absl::Base64Escape(std::string(bytes.begin(), bytes.end()));
    if (!wrapped) return clean;
    std::string out;
    for (size_t i = 0; i < clean.size(); i += 76) out += clean.substr(i, 76) + "\n";
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
void encode_glib(benchmark::State &s) {
    auto in = random_bytes(s.range(0));
    for (auto _ : s) {
        gchar *out = g_base64_encode(in.data(), in.size());
        benchmark::DoNotOptimize(out);
        g_free(out);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}

template <bool Wrapped>
void decode_xk(benchmark::State &s) {
    auto text = encoded(s.range(0), Wrapped);
    for (auto _ : s) {
        uint8_t *out;
        size_t len;
        xk_util_base64_decode(text.data(), text.size(), &out, &len);
        if (len != size_t(s.range(0))) s.SkipWithError("wrong length");
        free(out);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
template <bool Wrapped>
void decode_openssl(benchmark::State &s) {
    auto text = encoded(s.range(0), Wrapped);
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
template <bool Wrapped>
void decode_sodium(benchmark::State &s) {
    auto text = encoded(s.range(0), Wrapped);
    std::vector<unsigned char> out(text.size());
    for (auto _ : s) {
        size_t len;
        if (sodium_base642bin(out.data(), out.size(), text.data(), text.size(), Wrapped ? "\n" : nullptr,
                              &len, nullptr, sodium_base64_VARIANT_ORIGINAL) != 0) {
            s.SkipWithError("refuses this text");
            break;
        }
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
template <bool Wrapped>
void decode_absl(benchmark::State &s) {
    auto text = encoded(s.range(0), Wrapped);
    std::string out;
    for (auto _ : s) {
        if (!absl::Base64Unescape(text, &out) || out.size() != size_t(s.range(0))) {
            s.SkipWithError("refuses this text");
            break;
        }
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}
template <bool Wrapped>
void decode_glib(benchmark::State &s) {
    auto text = encoded(s.range(0), Wrapped);
    for (auto _ : s) {
        gsize len;
        guchar *out = g_base64_decode(text.c_str(), &len);
        benchmark::DoNotOptimize(out);
        g_free(out);
    }
    s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0));
}

#define XK_SIZES ->Arg(16)->Arg(1024)->Arg(65536)->Arg(1 << 20)
BENCHMARK(encode_xk)->Name("base64_encode/xk") XK_SIZES;
BENCHMARK(encode_openssl)->Name("base64_encode/openssl") XK_SIZES;
BENCHMARK(encode_sodium)->Name("base64_encode/sodium") XK_SIZES;
BENCHMARK(encode_absl)->Name("base64_encode/absl") XK_SIZES;
BENCHMARK(encode_glib)->Name("base64_encode/glib") XK_SIZES;
BENCHMARK(decode_xk<false>)->Name("base64_decode/xk") XK_SIZES;
BENCHMARK(decode_openssl<false>)->Name("base64_decode/openssl") XK_SIZES;
BENCHMARK(decode_sodium<false>)->Name("base64_decode/sodium") XK_SIZES;
BENCHMARK(decode_absl<false>)->Name("base64_decode/absl") XK_SIZES;
BENCHMARK(decode_glib<false>)->Name("base64_decode/glib") XK_SIZES;
BENCHMARK(decode_xk<true>)->Name("base64_decode_wrapped/xk") XK_SIZES;
BENCHMARK(decode_openssl<true>)->Name("base64_decode_wrapped/openssl") XK_SIZES;
BENCHMARK(decode_sodium<true>)->Name("base64_decode_wrapped/sodium") XK_SIZES;
BENCHMARK(decode_absl<true>)->Name("base64_decode_wrapped/absl") XK_SIZES;
BENCHMARK(decode_glib<true>)->Name("base64_decode_wrapped/glib") XK_SIZES;

}  // namespace
