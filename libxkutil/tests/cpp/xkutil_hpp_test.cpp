#include "file/file_support.h"
#include "xk/xkutil.hpp"

static_assert(xk::status_name(XK_ERR_TIMEOUT) == "XK_ERR_TIMEOUT");

TEST(CppLayer, FilesScansAndStatusNames) {
    xk::test::TempDir dir;
    const std::string path = dir / "notes";
    for (const char *name : {"beta", "Alpha"}) ASSERT_EQ(xk::write_named_file(dir / name, "x"), XK_OK);
    ASSERT_EQ(xk::write_named_file(path, "one\n"), XK_OK);
    ASSERT_EQ(xk::write_named_file(path, "two\n", false), XK_OK);
    std::vector<std::string> names;
    for (const std::string &name : xk::DirScan(dir.path())) names.push_back(name);
    xk::DirScan missing(dir / "none");
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "notes"}));
    EXPECT_EQ(std::tuple(missing.valid(), missing.begin() == missing.end()), std::tuple(false, true));
    EXPECT_EQ(std::tuple(xk::read_named_file(path).value, xk::read_named_file(dir / "none").status,
                         xk::directory_component(path).value),
              std::tuple("one\ntwo\n", XK_ERR_SYSTEM, dir.path()));
    EXPECT_EQ(std::tuple(xk::status_name(XK_OK), xk::status_name(XK_ERR_ALREADY_RUNNING), xk::status_name(1)),
              std::tuple("XK_OK", "XK_ERR_ALREADY_RUNNING", "XK_ERR_UNKNOWN"));
    // The claim matches a prefix of the command line, so the first 100 bytes name this program.
    std::string cmdline = xk::test::read_text("/proc/" + std::to_string(getpid()) + "/cmdline");
    std::string exe = cmdline.substr(0, std::min<size_t>(cmdline.find('\0'), 100));
    ASSERT_EQ(xk::claim_pid_file(dir / "app.pid", exe).status, XK_OK);
    auto again = xk::claim_pid_file(dir / "app.pid", exe);
    EXPECT_EQ(std::tuple(again.status, again.value), std::tuple(XK_ERR_ALREADY_RUNNING, unsigned(getpid())));
}

TEST(CppLayer, TextAndEncodingsComeBackAsStrings) {
    const uint8_t bytes[] = {'f', 'o', 'o', 'b'}, raw[] = {0x00, 0xAB, 0x7f, 'A'}, dump[] = {'A', 1};
    EXPECT_EQ(std::tuple(xk::base64_encode(bytes).value, xk::base64_decode("Zm9v\nYg==").value,
                         xk::hash64("").status),
              std::tuple("Zm9vYg==", "foob", XK_ERR_INVALID));
    EXPECT_EQ(
        std::tuple(xk::hex_encode(raw).value, xk::hex_decode("00AB7f1").value, xk::to_wide("abc").value),
        std::tuple("00ab7f41", std::string("\x00\xab\x7f", 3), L"abc"));
    EXPECT_EQ(std::tuple(xk::split("a,,b,c,", ",").value, xk::join({"a", "b"}, "::").value,
                         xk::join({}, ",").status),
              std::tuple(std::vector<std::string>{"a", "b", "c"}, "a::b", XK_ERR_NULL_ARG));
    xk::StrBuf sb(4);
    EXPECT_EQ((std::tuple{sb.append_f("%d-%s", 42, "x"), sb.append(" 100% ")}),
              std::tuple(4, 6));  // '%' kept as text
    EXPECT_EQ((std::tuple{sb.substitute("%", "%s%d"), sb.substitute("4", "four", 1)}), std::tuple(3, 3));
    EXPECT_EQ(sb.view(), "four2-x 100%s%d ");
    sb.clear();
    sb.hexdump(dump, "> ");
    EXPECT_EQ(std::tuple(sb.str(), xk::StrBuf(-1).valid(), xk::StrBuf(-1).view()),
              std::tuple("> 41 01 : A.\n", false, ""));
}

TEST(CppLayer, OwningHandlesReleaseWhatTheyHold) {
    static int freed = 0;
    {
        auto words = xk::make_collection("words", nullptr, nullptr, [](void *w) { ++freed, free(w); });
        xk_collection_element_attach(words.get(), strdup("a"));
        xk_collection_element_attach(words.get(), strdup("b"));
        xk::Sum sum(2);
        sum.add(3), sum.next(), sum.add(4);
        EXPECT_EQ(std::tuple(sum.status(), sum.window(), xk::Sum(0).status()),
                  std::tuple(XK_OK, 7, XK_ERR_INVALID));
        xk::UniqueString copy(xk_util_strndup("hello", 5));
        xk::MallocArray<int> numbers(static_cast<int *>(calloc(3, sizeof(int))), 3);
        char **fields = nullptr;
        size_t count = 0;
        xk_util_split("x y", " ", &fields, &count);
        xk::StringArray owned(fields, count), moved(std::move(owned));
        EXPECT_EQ(
            std::tuple(std::string(copy.get()), numbers.size(), numbers.span()[2], owned.size(), moved[1]),
            std::tuple("hello", 3u, 0, 0u, "y"));
    }
    EXPECT_EQ(freed, 2);
}

TEST(CppLayer, ProcessesAreWaitedForOrKilledAtTheDeadline) {
    auto done = xk::spawn({"/bin/sh", "-c", "exit 3"});
    auto code = done.value.wait_for(30);
    EXPECT_EQ(std::tuple(code.status, code.value, done.value.valid()), std::tuple(XK_OK, 3, false));
    auto slow = xk::spawn({"/bin/sleep", "30"});
    pid_t pid = slow.value.pid();
    auto killed = slow.value.wait_for(0.05);
    EXPECT_EQ(std::tuple(killed.status, killed.value, kill(pid, 0)),
              std::tuple(XK_ERR_TIMEOUT, -1, -1));  // reaped too
    auto plain = xk::spawn({"/bin/true"});
    EXPECT_EQ((std::tuple{plain.value.wait().value, plain.value.wait().status}),
              std::tuple(0, XK_ERR_NULL_ARG));
    EXPECT_EQ(xk::spawn(std::span<const std::string_view>()).status, XK_ERR_INVALID);
}
