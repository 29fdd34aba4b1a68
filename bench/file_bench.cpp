// SPDX-License-Identifier: MIT
// Whole-file read and line count of a 64 MiB file against plain read loops.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "xk/file.h"

namespace {

constexpr int64_t kSize = 64 << 20;

const char *big_file() {
    static std::string path;
    if (path.empty()) {
        path = "/tmp/xkutil_bench_64m.txt";
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string line(63, 'x');
        line += '\n';
        std::string block;
        for (int i = 0; i < 1024; ++i) block += line;
        for (int64_t done = 0; done < kSize; done += int64_t(block.size()))
            if (write(fd, block.data(), block.size()) != ssize_t(block.size())) abort();
        close(fd);
    }
    return path.c_str();
}

void read_xk(benchmark::State &s) {
    int fd = open(big_file(), O_RDONLY);
    for (auto _ : s) {
        lseek(fd, 0, SEEK_SET);
        char *buf;
        int64_t size;
        xk_util_read_file(fd, &buf, &size, nullptr);
        free(buf);
    }
    close(fd);
    s.SetBytesProcessed(int64_t(s.iterations()) * kSize);
}
void read_reference(benchmark::State &s) {
    int fd = open(big_file(), O_RDONLY);
    for (auto _ : s) {
        lseek(fd, 0, SEEK_SET);
        char *buf = static_cast<char *>(malloc(kSize + 1));
        int64_t got = 0;
        while (got < kSize) {
            ssize_t n = read(fd, buf + got, size_t(kSize - got));
            if (n <= 0) break;
            got += n;
        }
        buf[got] = 0;
        free(buf);
    }
    close(fd);
    s.SetBytesProcessed(int64_t(s.iterations()) * kSize);
}
void count_xk(benchmark::State &s) {
    int fd = open(big_file(), O_RDONLY);
    for (auto _ : s) {
        uint64_t n;
        xk_util_count_lines(fd, &n, nullptr);
        benchmark::DoNotOptimize(n);
    }
    close(fd);
    s.SetBytesProcessed(int64_t(s.iterations()) * kSize);
}
// Plain loop of 1024-byte reads, the piece size the line count uses.
void count_reference(benchmark::State &s) {
    int fd = open(big_file(), O_RDONLY);
    for (auto _ : s) {
        lseek(fd, 0, SEEK_SET);
        char piece[1024];
        uint64_t lines = 0;
        ssize_t n;
        while ((n = read(fd, piece, sizeof piece)) > 0) lines += uint64_t(std::count(piece, piece + n, '\n'));
        benchmark::DoNotOptimize(lines);
    }
    close(fd);
    s.SetBytesProcessed(int64_t(s.iterations()) * kSize);
}
BENCHMARK(read_xk)->Name("read_file/xk")->Unit(benchmark::kMillisecond);
BENCHMARK(read_reference)->Name("read_file/read_loop")->Unit(benchmark::kMillisecond);
BENCHMARK(count_xk)->Name("count_lines/xk")->Unit(benchmark::kMillisecond);
BENCHMARK(count_reference)->Name("count_lines/read_loop")->Unit(benchmark::kMillisecond);

}  // namespace
