#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "xk/xkutil.hpp"

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/xk-hpp-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

TEST(CppLayer, StatusNamesCoverTheCatalogue) {
    EXPECT_EQ(xk::status_name(XK_OK), "XK_OK");
    EXPECT_EQ(xk::status_name(XK_ERR_NOMEM), "XK_ERR_NOMEM");
    EXPECT_EQ(xk::status_name(XK_ERR_ALREADY_RUNNING), "XK_ERR_ALREADY_RUNNING");
    EXPECT_EQ(xk::status_name(XK_ERR_NO_MORE), "XK_ERR_NO_MORE");
    EXPECT_EQ(xk::status_name(1), "XK_ERR_UNKNOWN");
    static_assert(xk::status_name(XK_ERR_TIMEOUT) == "XK_ERR_TIMEOUT");
}

TEST(CppLayer, DirectoryScanIsARangeInNameOrder) {
    TempDir dir;
    for (const char *name : {"beta", "Alpha", "gamma"})
        ASSERT_EQ(xk::write_named_file(dir.path + "/" + name, "x"), XK_OK);
    std::vector<std::string> names;
    xk::DirScan scan(dir.path);
    ASSERT_TRUE(scan.valid());
    for (const std::string &name : scan) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));

    xk::DirScan missing(dir.path + "/none");
    EXPECT_FALSE(missing.valid());
    EXPECT_EQ(missing.begin(), missing.end());
}

TEST(CppLayer, FilesAndEncodingsComeBackAsStrings) {
    TempDir dir;
    std::string path = dir.path + "/notes";
    ASSERT_EQ(xk::write_named_file(path, "one\n"), XK_OK);
    ASSERT_EQ(xk::write_named_file(path, "two\n", false), XK_OK);
    auto read = xk::read_named_file(path);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value, "one\ntwo\n");
    EXPECT_EQ(xk::read_named_file(dir.path + "/none").status, XK_ERR_SYSTEM);
    EXPECT_EQ(xk::directory_component(path).value, dir.path);

    const uint8_t bytes[] = {'f', 'o', 'o', 'b'};
    auto text = xk::base64_encode(bytes);
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(text.value, "Zm9vYg==");
    EXPECT_EQ(xk::base64_decode("Zm9v\nYg==").value, "foob");
    EXPECT_TRUE(xk::hash64("abc").ok());
    EXPECT_EQ(xk::hash64("").status, XK_ERR_INVALID);
}

TEST(CppLayer, OwningHandlesReleaseWhatTheyHold) {
    static int freed = 0;
    freed = 0;
    {
        auto words = xk::make_collection(
            "words", [] { return calloc(8, 1); },
            [](const void *w) -> void * { return strdup(static_cast<const char *>(w)); },
            [](void *w) {
                ++freed;
                free(w);
            });
        ASSERT_TRUE(words);
        ASSERT_TRUE(xk_collection_element_add(words.get(), "a"));
        ASSERT_TRUE(xk_collection_element_add(words.get(), "b"));
    }
    EXPECT_EQ(freed, 2);

    xk::Sum sum(2);
    ASSERT_EQ(sum.status(), XK_OK);
    sum.add(3);
    sum.next();
    sum.add(4);
    EXPECT_EQ(sum.window(), 7);
    EXPECT_EQ(xk::Sum(0).status(), XK_ERR_INVALID);
}

}  // namespace

namespace {

TEST(CppLayer, StrBufAppendsLiterallyAndSubstitutes) {
    xk::StrBuf sb(4);
    ASSERT_TRUE(sb.valid());
    EXPECT_EQ(sb.append_f("%d-%s", 42, "x"), 4);
    EXPECT_EQ(sb.append(" 100% "), 6);  // grows past the 4 bytes; '%' is kept as text
    EXPECT_EQ(sb.view(), "42-x 100% ");
    EXPECT_EQ(sb.substitute("%", "%s%d"), 3);
    EXPECT_EQ(sb.str(), "42-x 100%s%d ");
    EXPECT_EQ(sb.substitute("4", "four", 1), 3);
    EXPECT_EQ(sb.view(), "four2-x 100%s%d ");
    sb.clear();
    EXPECT_EQ(sb.view(), "");
    const uint8_t bytes[] = {'A', 0x01};
    sb.hexdump(bytes, "> ");
    EXPECT_EQ(sb.view(), "> 41 01 : A.\n");
    EXPECT_FALSE(xk::StrBuf(-1).valid());
    EXPECT_EQ(xk::StrBuf(-1).view(), "");
}

TEST(CppLayer, SplitJoinAndHexRoundTrip) {
    auto fields = xk::split("a,,b,c,", ",");
    ASSERT_TRUE(fields.ok());
    EXPECT_EQ(fields.value, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(xk::split("", ",").value.empty());
    auto joined = xk::join({"a", "b", "c"}, "::");
    ASSERT_TRUE(joined.ok());
    EXPECT_EQ(joined.value, "a::b::c");
    EXPECT_EQ(xk::join({}, ",").status, XK_ERR_NULL_ARG);

    const uint8_t bytes[] = {0x00, 0xAB, 0x7f};
    auto hex = xk::hex_encode(bytes);
    ASSERT_TRUE(hex.ok());
    EXPECT_EQ(hex.value, "00ab7f");
    EXPECT_EQ(xk::hex_decode("00AB7f1").value, std::string("\x00\xab\x7f", 3));
    EXPECT_EQ(xk::hex_decode("").value, "");
    EXPECT_EQ(xk::to_wide("abc").value, L"abc");
}

TEST(CppLayer, MallocArraysFreeTheirContents) {
    xk::UniqueString copy(xk_util_strndup("hello", 5));
    EXPECT_STREQ(copy.get(), "hello");
    xk::MallocArray<int> numbers(static_cast<int *>(calloc(3, sizeof(int))), 3);
    ASSERT_EQ(numbers.size(), 3u);
    for (int &n : numbers) n = 7;
    EXPECT_EQ(numbers.span()[2], 7);
    free(numbers.release());
    EXPECT_EQ(numbers.size(), 0u);

    char **fields = nullptr;
    size_t count = 0;
    ASSERT_EQ(xk_util_split("x y", " ", &fields, &count), XK_OK);
    xk::StringArray owned(fields, count);
    xk::StringArray moved(std::move(owned));
    EXPECT_EQ(owned.size(), 0u);
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[1], "y");
}

TEST(CppLayer, ProcessesAreWaitedForOrKilledAtTheDeadline) {
    auto done = xk::spawn({"/bin/sh", "-c", "exit 3"});
    ASSERT_TRUE(done.ok());
    EXPECT_GT(done.value.pid(), 0);
    auto code = done.value.wait_for(30);
    EXPECT_EQ(code.status, XK_OK);
    EXPECT_EQ(code.value, 3);
    EXPECT_FALSE(done.value.valid());

    auto slow = xk::spawn({"/bin/sleep", "30"});
    ASSERT_TRUE(slow.ok());
    pid_t pid = slow.value.pid();
    auto killed = slow.value.wait_for(0.05);
    EXPECT_EQ(killed.status, XK_ERR_TIMEOUT);
    EXPECT_EQ(killed.value, -1);
    EXPECT_FALSE(slow.value.valid());
    EXPECT_EQ(kill(pid, 0), -1);  // reaped, not left as a zombie

    auto plain = xk::spawn({"/bin/true"});
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain.value.wait().value, 0);
    EXPECT_EQ(plain.value.wait().status, XK_ERR_NULL_ARG);
    EXPECT_EQ(xk::spawn(std::span<const std::string_view>()).status, XK_ERR_INVALID);
}

TEST(CppLayer, PidFileNamesTheHolder) {
    TempDir dir;
    std::string path = dir.path + "/app.pid";
    std::string me = std::to_string(getpid());
    // The claim compares the holder's command line, read the way the library reads it.
    std::ifstream proc("/proc/" + me + "/cmdline");
    std::string cmdline((std::istreambuf_iterator<char>(proc)), std::istreambuf_iterator<char>());
    std::string exe = cmdline.substr(0, std::min<size_t>(cmdline.find('\0'), 100));
    ASSERT_FALSE(exe.empty());
    ASSERT_EQ(xk::claim_pid_file(path, exe).status, XK_OK);
    EXPECT_EQ(xk::read_named_file(path).value, me);
    auto again = xk::claim_pid_file(path, exe);
    EXPECT_EQ(again.status, XK_ERR_ALREADY_RUNNING);
    EXPECT_EQ(again.value, static_cast<unsigned int>(getpid()));
}

}  // namespace
