#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "file/file_support.h"
#include "support/capture.h"
#include "xk/file.h"

namespace {

using xk::test::read_text;
using xk::test::TempDir;
using xk::test::write_text;
using NamedFileTest = xk::test::ReportingTest;

std::vector<std::string> trace_funcs(const std::vector<xk::test::TraceRecord> &records) {
    std::vector<std::string> out;
    for (const auto &r : records) out.push_back(r.func);
    return out;
}

TEST_F(NamedFileTest, FopenOpensTheFormattedPath) {
    TempDir dir;
    write_text(dir / "f", "abc");
    FILE *stream = nullptr;
    int err = -1;
    ASSERT_EQ(xk_util_fopen(&stream, &err, "rb", "%s/%c", dir.path().c_str(), 'f'), XK_OK);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(fgetc(stream), 'a');
    fclose(stream);

    stream = reinterpret_cast<FILE *>(0x1);
    EXPECT_EQ(xk_util_fopen(&stream, &err, "rb", "%s/missing", dir.path().c_str()), XK_ERR_SYSTEM);
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(stream, reinterpret_cast<FILE *>(0x1));
    expect_single_trace("xk_util_fopen", XK_ERR_SYSTEM);
    capture.clear();
    EXPECT_EQ(xk_util_fopen(&stream, nullptr, nullptr, "x"), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_fopen", XK_ERR_NULL_ARG);
}

TEST_F(NamedFileTest, ReadNamedFileReturnsBytesAndTerminator) {
    TempDir dir;
    std::string data("a\0b\nc", 5);
    write_text(dir / "f", data);
    write_text(dir / "empty", "");
    char *buf = nullptr;
    size_t size = 0;
    ASSERT_EQ(xk_util_read_named_file((dir / "f").c_str(), &buf, &size, nullptr), XK_OK);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::string(buf, size), data);
    EXPECT_EQ(buf[5], '\0');
    free(buf);
    ASSERT_EQ(xk_util_read_named_file((dir / "empty").c_str(), &buf, &size, nullptr), XK_OK);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buf[0], '\0');
    free(buf);
    EXPECT_TRUE(traces().empty());
}

TEST_F(NamedFileTest, ReadNamedFileFailures) {
    TempDir dir;
    char *buf = reinterpret_cast<char *>(0x1);
    size_t size = 9;
    int err = 12345;
    EXPECT_EQ(xk_util_read_named_file((dir / "missing").c_str(), &buf, &size, &err), XK_ERR_SYSTEM);
    EXPECT_EQ(buf, reinterpret_cast<char *>(0x1));
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(err, 12345);  // not written
    EXPECT_EQ(trace_funcs(traces()),
              (std::vector<std::string>{"xk_util_get_file_size", "xk_util_read_named_file"}));
    EXPECT_TRUE(lines().empty());
    capture.clear();
    EXPECT_EQ(xk_util_read_named_file("x", nullptr, &size, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_read_named_file", XK_ERR_NULL_ARG);
}

// sysfs attributes report 4096 bytes but hold a few: the read ends at the real end and hands
// back what the file holds, with the size corrected to match.
TEST_F(NamedFileTest, ReadNamedFileOfAFileShorterThanItsSize) {
    const char *path = "/sys/devices/system/cpu/online";
    std::string content = read_text(path);
    int64_t queried = 0;
    if (xk_util_get_file_size(path, &queried) != XK_OK || queried <= static_cast<int64_t>(content.size()))
        GTEST_SKIP() << "no sysfs attribute larger than its content";
    char *buf = nullptr;
    size_t size = 0;
    ASSERT_EQ(xk_util_read_named_file(path, &buf, &size, nullptr), XK_OK);
    EXPECT_EQ(size, content.size());
    EXPECT_EQ(std::string(buf), content);
    free(buf);
}

TEST_F(NamedFileTest, WriteNamedFileReplacesAppendsAndCreates) {
    TempDir dir;
    std::string path = dir / "f";
    EXPECT_EQ(xk_util_write_named_file(path.c_str(), 0, "one", 3, nullptr), XK_OK);
    EXPECT_EQ(read_text(path), "one");
    EXPECT_EQ(xk_util_write_named_file(path.c_str(), 0, "two", 3, nullptr), XK_OK);
    EXPECT_EQ(read_text(path), "onetwo");
    EXPECT_EQ(xk_util_write_named_file(path.c_str(), 1, "three", 5, nullptr), XK_OK);
    EXPECT_EQ(read_text(path), "three");
    EXPECT_EQ(xk_util_write_named_file(path.c_str(), 1, "", 0, nullptr), XK_OK);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    mode_t old_mask = umask(027);
    EXPECT_EQ(xk_util_write_named_file((dir / "new").c_str(), 1, "n", 1, nullptr), XK_OK);
    umask(old_mask);
    ASSERT_EQ(stat((dir / "new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(traces().empty());
}

TEST_F(NamedFileTest, WriteNamedFileFailures) {
    TempDir dir;
    int err = 12345;
    EXPECT_EQ(xk_util_write_named_file((dir / "no/such/dir").c_str(), 1, "x", 1, &err), XK_ERR_SYSTEM);
    EXPECT_EQ(err, 12345);  // not written
    expect_single_trace("xk_util_write_named_file", XK_ERR_SYSTEM);
    capture.clear();
    EXPECT_EQ(xk_util_write_named_file(nullptr, 1, "x", 1, nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_write_named_file("x", 1, nullptr, 0, nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(traces().size(), 2u);
}

// A sync failure is traced by the sync and again by the writer: the directory of the file may
// be written and searched but not read by its unprivileged owner, so it cannot be opened.
TEST_F(NamedFileTest, WriteNamedFileSyncFailureIsTracedAtEachLevel) {
    XK_EXPECT_CHILD_PASSES(xk::test::run_unprivileged([this] {
        xk::test::ChildChecks check;
        TempDir dir;
        std::string sub = dir / "sub";
        mkdir(sub.c_str(), 0300);
        capture.clear();
        check.equal(xk_util_write_named_file((sub + "/f").c_str(), 1, "data", 4, nullptr), XK_ERR_SYSTEM,
                    "status");
        auto funcs = trace_funcs(traces());
        check.equal(funcs.size(), 2u, "trace records");
        if (funcs.size() == 2) {
            check.equal(funcs[0], "xk_util_sync", "innermost");
            check.equal(funcs[1], "xk_util_write_named_file", "outer");
        }
        chmod(sub.c_str(), 0700);
        check.equal(read_text(sub + "/f"), "data", "written data");
        return check.verdict();
    }));
}

TEST_F(NamedFileTest, CopyFileReplacesTheDestination) {
    TempDir dir;
    write_text(dir / "src", "source bytes");
    write_text(dir / "dst", "old and longer content");
    EXPECT_EQ(xk_util_copy_file((dir / "src").c_str(), (dir / "dst").c_str()), XK_OK);
    EXPECT_EQ(read_text(dir / "dst"), "source bytes");
    EXPECT_TRUE(traces().empty());
    // A missing source: the read's status, its trace records only, nothing created.
    EXPECT_EQ(xk_util_copy_file((dir / "none").c_str(), (dir / "dst2").c_str()), XK_ERR_SYSTEM);
    EXPECT_EQ(trace_funcs(traces()),
              (std::vector<std::string>{"xk_util_get_file_size", "xk_util_read_named_file"}));
    EXPECT_NE(access((dir / "dst2").c_str(), F_OK), 0);
    capture.clear();
    EXPECT_EQ(xk_util_copy_file(nullptr, "x"), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_copy_file", XK_ERR_NULL_ARG);
}

// Observed from outside the library: strace records the fsync calls of a durable write made
// by this very test binary, which reruns this test with XK_DURABLE_PROBE naming a directory.
TEST_F(NamedFileTest, DurableWriteSyncsTheFileThenItsDirectory) {
    // Under qemu-user /proc/self/exe is the emulator, so the test cannot rerun itself under strace.
    if (const char *e = getenv("XK_UNDER_EMULATOR"); e != nullptr && e[0] == '1')
        GTEST_SKIP() << "cannot rerun itself under emulation";
    if (const char *probe = getenv("XK_DURABLE_PROBE")) {
        std::string path = std::string(probe) + "/durable";
        ASSERT_EQ(xk_util_write_named_file(path.c_str(), 1, "kept", 4, nullptr), XK_OK);
        return;
    }
    if (system("strace -qq -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
    TempDir dir;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    std::string log = dir / "strace.log";
    std::string command =
        // LeakSanitizer cannot run under ptrace; the probe run only needs the system calls.
        "ASAN_OPTIONS=detect_leaks=0 XK_DURABLE_PROBE='" + dir.path() +
        "' strace -f -qq -e trace=openat,open,fsync -o '" + log + "' '" + self +
        "' --gtest_filter=NamedFileTest.DurableWriteSyncsTheFileThenItsDirectory >/dev/null 2>&1";
    ASSERT_EQ(system(command.c_str()), 0);
    // Follow which path each descriptor names, and list the paths that were fsynced.
    std::regex opened(R"re(open(?:at)?\((?:AT_FDCWD, )?"([^"]*)".*\) = (\d+))re");
    std::regex synced(R"re(fsync\((\d+)\) += 0)re");
    std::map<std::string, std::string> fd_path;
    std::vector<std::string> synced_paths;
    std::istringstream lines_in(read_text(log));
    for (std::string line; std::getline(lines_in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, opened))
            fd_path[m[2]] = m[1];
        else if (std::regex_search(line, m, synced))
            synced_paths.push_back(fd_path[m[1]]);
    }
    EXPECT_EQ(synced_paths, (std::vector<std::string>{dir / "durable", dir.path()}));
    EXPECT_EQ(read_text(dir / "durable"), "kept");
}

}  // namespace
