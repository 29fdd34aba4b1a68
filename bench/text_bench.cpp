// SPDX-License-Identifier: MIT
// Text family: split and join against GLib and Abseil, string-buffer appends against GLib,
// hexdump and substitution at two sizes, hex text against libsodium and Abseil. Split and join
// goals are against GLib, whose calls hand back fresh blocks as ours do; Abseil's short fields
// live inside their strings without an allocation of their own, so it is shown, not a goal.
// Names: <pair>/<implementation>/<input bytes>; bench/compare reads them in that form.
#include <benchmark/benchmark.h>
#include <glib.h>
#include <sodium.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "absl/strings/escaping.h"
#include "absl/strings/str_join.h"
#include "absl/strings/str_split.h"
#include "xk/hex.h"
#include "xk/strbuf.h"
#include "xk/strings.h"

namespace {

// Words of 1 to 12 letters separated by commas, n bytes in all.
std::string comma_text(size_t n) {
    std::mt19937_64 gen(n);
    std::string text;
    while (text.size() < n) {
        text.append(1 + gen() % 12, static_cast<char>('a' + gen() % 26));
        text += ',';
    }
    text.resize(n);
    if (text.back() == ',') text.back() = 'z';
    return text;
}

std::vector<uint8_t> random_bytes(size_t n) {
    std::mt19937_64 gen(n);
    std::vector<uint8_t> v(n);
    for (auto &b : v) b = static_cast<uint8_t>(gen());
    return v;
}

void bytes_done(benchmark::State &s) { s.SetBytesProcessed(int64_t(s.iterations()) * s.range(0)); }

// ---- split ----
void split_xk(benchmark::State &s) {
    std::string text = comma_text(s.range(0));
    for (auto _ : s) {
        char **fields;
        size_t count;
        xk_util_split(text.c_str(), ",", &fields, &count);
        for (size_t i = 0; i < count; ++i) free(fields[i]);
        free(fields);
    }
    bytes_done(s);
}
void split_glib(benchmark::State &s) {
    std::string text = comma_text(s.range(0));
    for (auto _ : s) g_strfreev(g_strsplit(text.c_str(), ",", -1));
    bytes_done(s);
}
void split_absl(benchmark::State &s) {
    std::string text = comma_text(s.range(0));
    for (auto _ : s) {
        std::vector<std::string> fields = absl::StrSplit(text, ",");
        benchmark::DoNotOptimize(fields.data());
    }
    bytes_done(s);
}

// ---- join ----
std::vector<std::string> fields_of(size_t n) { return absl::StrSplit(comma_text(n), ','); }

void join_xk(benchmark::State &s) {
    std::vector<std::string> fields = fields_of(s.range(0));
    std::vector<const char *> ptrs;
    for (auto &f : fields) ptrs.push_back(f.c_str());
    for (auto _ : s) {
        char *out;
        size_t size;
        xk_util_join(ptrs.data(), ptrs.size(), ",", &out, &size);
        free(out);
    }
    bytes_done(s);
}
void join_glib(benchmark::State &s) {
    std::vector<std::string> fields = fields_of(s.range(0));
    std::vector<char *> ptrs;
    for (auto &f : fields) ptrs.push_back(f.data());
    ptrs.push_back(nullptr);
    for (auto _ : s) g_free(g_strjoinv(",", ptrs.data()));
    bytes_done(s);
}
void join_absl(benchmark::State &s) {
    std::vector<std::string> fields = fields_of(s.range(0));
    for (auto _ : s) {
        std::string joined = absl::StrJoin(fields, ",");
        benchmark::DoNotOptimize(joined.data());
    }
    bytes_done(s);
}

// ---- string-buffer appends: "%d:%s," pieces until range(0) bytes ----
void appends_xk(benchmark::State &s) {
    for (auto _ : s) {
        xk_util_strbuf *sb = xk_util_strbuf_new(0);
        for (int64_t made = 0, i = 0; made < s.range(0); ++i)
            made += xk_util_strbuf_append_f(sb, "%d:%s,", int(i), "ab");
        xk_util_strbuf_free(sb);
    }
    bytes_done(s);
}
void appends_glib(benchmark::State &s) {
    for (auto _ : s) {
        GString *g = g_string_new(nullptr);
        for (int64_t i = 0; int64_t(g->len) < s.range(0); ++i)
            g_string_append_printf(g, "%d:%s,", int(i), "ab");
        g_string_free(g, TRUE);
    }
    bytes_done(s);
}

// ---- hexdump (no limit) and substitution, ours alone ----
void hexdump_xk(benchmark::State &s) {
    auto data = random_bytes(s.range(0));
    for (auto _ : s) {
        xk_util_strbuf *sb = xk_util_strbuf_new(0);
        xk_util_strbuf_set_hex_limit(sb, 0);
        xk_util_strbuf_hexdump(sb, "  ", data.data(), data.size());
        xk_util_strbuf_free(sb);
    }
    bytes_done(s);
}
// As the side-by-side tool has it: "$X" about every 64 bytes among letters and percent signs,
// loaded into a fresh buffer with one append and each replaced by "%d" of 42, all of it timed.
void substitute_xk(benchmark::State &s) {
    std::mt19937_64 gen(s.range(0));
    std::string text;
    while (text.size() < size_t(s.range(0))) {
        if (text.size() + 2 <= size_t(s.range(0)) && gen() % 64 == 0)
            text += "$X";
        else
            text += gen() % 16 == 0 ? '%' : static_cast<char>('a' + gen() % 26);
    }
    for (auto _ : s) {
        xk_util_strbuf *sb = xk_util_strbuf_new(int(text.size()) + 1);
        xk_util_strbuf_append_f(sb, "%s", text.c_str());
        benchmark::DoNotOptimize(xk_util_strbuf_substitute(sb, "$X", 0, "%d", 42));
        xk_util_strbuf_free(sb);
    }
    bytes_done(s);
}
// A replacement longer than its needle, which takes the scratch buffer (shown, no goal).
void substitute_longer_xk(benchmark::State &s) {
    std::string text = comma_text(s.range(0));
    for (auto _ : s) {
        s.PauseTiming();
        xk_util_strbuf *sb = xk_util_strbuf_new(0);
        xk_util_strbuf_append_f(sb, "%s", text.c_str());
        s.ResumeTiming();
        benchmark::DoNotOptimize(xk_util_strbuf_substitute(sb, ",", 0, "%s", ";;"));
        xk_util_strbuf_free(sb);
    }
    bytes_done(s);
}

// ---- hex text ----
void hex_encode_xk(benchmark::State &s) {
    auto data = random_bytes(s.range(0));
    for (auto _ : s) {
        char *out;
        xk_util_sprintf_bytes(data.data(), data.size(), &out);
        benchmark::DoNotOptimize(out);
        free(out);
    }
    bytes_done(s);
}
void hex_encode_sodium(benchmark::State &s) {
    auto data = random_bytes(s.range(0));
    for (auto _ : s) {
        char *out = static_cast<char *>(malloc(2 * data.size() + 1));
        benchmark::DoNotOptimize(sodium_bin2hex(out, 2 * data.size() + 1, data.data(), data.size()));
        free(out);
    }
    bytes_done(s);
}
void hex_encode_absl(benchmark::State &s) {
    auto data = random_bytes(s.range(0));
    absl::string_view view(reinterpret_cast<const char *>(data.data()), data.size());
    for (auto _ : s) {
        std::string hex = absl::BytesToHexString(view);
        benchmark::DoNotOptimize(hex.data());
    }
    bytes_done(s);
}
std::string hex_text(size_t n) {
    auto data = random_bytes(n);
    return absl::BytesToHexString(absl::string_view(reinterpret_cast<const char *>(data.data()), n));
}
void hex_decode_xk(benchmark::State &s) {
    std::string hex = hex_text(s.range(0));
    for (auto _ : s) {
        uint8_t *out;
        xk_util_sscanf_bytes(hex.data(), hex.size(), &out);
        benchmark::DoNotOptimize(out);
        free(out);
    }
    bytes_done(s);
}
void hex_decode_sodium(benchmark::State &s) {
    std::string hex = hex_text(s.range(0));
    for (auto _ : s) {
        uint8_t *out = static_cast<uint8_t *>(malloc(hex.size() / 2));
        size_t len;
        benchmark::DoNotOptimize(
            sodium_hex2bin(out, hex.size() / 2, hex.data(), hex.size(), nullptr, &len, nullptr));
        free(out);
    }
    bytes_done(s);
}
void hex_decode_absl(benchmark::State &s) {
    std::string hex = hex_text(s.range(0));
    for (auto _ : s) {
        std::string bytes = absl::HexStringToBytes(hex);
        benchmark::DoNotOptimize(bytes.data());
    }
    bytes_done(s);
}

#define XK_TEXT_SIZES ->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20)
// The sizes of the split and join goals: one short call and two long ones.
#define XK_SPLIT_SIZES ->Arg(16)->Arg(1 << 16)->Arg(1 << 20)
BENCHMARK(split_xk)->Name("split/xk") XK_SPLIT_SIZES;
BENCHMARK(split_glib)->Name("split/glib") XK_SPLIT_SIZES;
BENCHMARK(split_absl)->Name("split/absl") XK_SPLIT_SIZES;
BENCHMARK(join_xk)->Name("join/xk") XK_SPLIT_SIZES;
BENCHMARK(join_glib)->Name("join/glib") XK_SPLIT_SIZES;
BENCHMARK(join_absl)->Name("join/absl") XK_SPLIT_SIZES;
BENCHMARK(appends_xk)->Name("strbuf_appends/xk") XK_TEXT_SIZES;
BENCHMARK(appends_glib)->Name("strbuf_appends/glib") XK_TEXT_SIZES;
BENCHMARK(hexdump_xk)->Name("hexdump/xk")->Arg(1 << 16)->Arg(1 << 20);
BENCHMARK(substitute_xk)->Name("substitute/xk")->Arg(1 << 16)->Arg(1 << 20);
BENCHMARK(substitute_longer_xk)->Name("substitute_longer/xk")->Arg(1 << 16)->Arg(1 << 20);
BENCHMARK(hex_encode_xk)->Name("hex_encode/xk") XK_TEXT_SIZES;
BENCHMARK(hex_encode_sodium)->Name("hex_encode/sodium") XK_TEXT_SIZES;
BENCHMARK(hex_encode_absl)->Name("hex_encode/absl") XK_TEXT_SIZES;
BENCHMARK(hex_decode_xk)->Name("hex_decode/xk") XK_TEXT_SIZES;
BENCHMARK(hex_decode_sodium)->Name("hex_decode/sodium") XK_TEXT_SIZES;
BENCHMARK(hex_decode_absl)->Name("hex_decode/absl") XK_TEXT_SIZES;

}  // namespace
