#include "support/capture.h"

using namespace xk::test;
using NamedFileTest = ReportingTest;

TEST_F(NamedFileTest, FopenReadWriteAndCopy) {
    TempDir dir;
    const std::string f = dir / "f", copy = dir / "copy";
    FILE *stream = nullptr;
    char *buf = nullptr;
    size_t size = 9;
    int err = -1;
    // Appends, replaces, and writes nothing to an empty file; bytes go through as they are.
    const std::pair<int, std::string> steps[] = {
        {0, "one"}, {0, "two"}, {1, ""}, {1, std::string("a\0b\nc", 5)}};
    for (const auto &[overwrite, data] : steps)
        expect_report(xk_util_write_named_file(f.c_str(), overwrite, data.data(), data.size(), nullptr),
                      XK_OK);
    expect_report(xk_util_read_named_file(f.c_str(), &buf, &size, nullptr), XK_OK);
    EXPECT_EQ(std::string(buf, size + 1), std::string("a\0b\nc\0", 6));
    free(buf);
    expect_report(xk_util_fopen(&stream, &err, "rb", "%s/%c", dir.path().c_str(), 'f'), XK_OK);
    EXPECT_EQ(std::tuple(fgetc(stream), err), std::tuple('a', 0));
    fclose(stream);
    mode_t old_mask = umask(027);
    expect_report(xk_util_copy_file(f.c_str(), copy.c_str()), XK_OK);
    umask(old_mask);
    struct stat sb;
    stat(copy.c_str(), &sb);
    EXPECT_EQ(std::tuple(read_text(copy), sb.st_mode & 0777), std::tuple(read_text(f), 0640u));
    expect_report(xk_util_copy_file((dir / "none").c_str(), copy.c_str()), XK_ERR_SYSTEM, {}, 2);
    expect_all({xk_util_fopen(&stream, nullptr, nullptr, "x"),
                xk_util_read_named_file("x", nullptr, &size, nullptr),
                xk_util_write_named_file(nullptr, 1, "x", 1, nullptr),
                xk_util_write_named_file("x", 1, nullptr, 0, nullptr), xk_util_copy_file(nullptr, "x")});
    // A sysfs attribute reports 4096 bytes and holds fewer: the read ends at the real end.
    expect_report(xk_util_read_named_file("/sys/devices/system/cpu/online", &buf, &size, nullptr), XK_OK);
    EXPECT_EQ(std::string(buf, size + 1), read_text("/sys/devices/system/cpu/online") + '\0');
    free(buf);
}
