#include "file/file_support.h"

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
    free(std::exchange(buf, nullptr));
    expect_report(xk_util_fopen(&stream, &err, "rb", "%s/%c", dir.path().c_str(), 'f'), XK_OK);
    EXPECT_EQ(std::tuple(fgetc(stream), std::exchange(err, 7)), std::tuple('a', 0));
    fclose(std::exchange(stream, nullptr));
    mode_t old_mask = umask(027);
    expect_report(xk_util_copy_file(f.c_str(), copy.c_str()), XK_OK);
    umask(old_mask);
    struct stat sb;
    stat(copy.c_str(), &sb);
    EXPECT_EQ(std::tuple(read_text(copy), sb.st_mode & 0777), std::tuple(read_text(f), 0640u));
    // A missing file: the size query fails (two levels) and nothing else is touched.
    expect_report(xk_util_read_named_file((dir / "none").c_str(), &buf, &size, &err), XK_ERR_SYSTEM, {}, 2);
    expect_report(xk_util_copy_file((dir / "none").c_str(), copy.c_str()), XK_ERR_SYSTEM, {}, 2);
    expect_report(xk_util_write_named_file((dir / "no/f").c_str(), 1, "x", 1, &err), XK_ERR_SYSTEM);
    expect_report(xk_util_fopen(&stream, &err, "rb", "%s/none", dir.path().c_str()), XK_ERR_SYSTEM);
    EXPECT_EQ(std::tuple(buf, size, stream, err, read_text(copy)),
              std::tuple(nullptr, 5u, nullptr, ENOENT, read_text(f)));
    expect_report(xk_util_fopen(&stream, nullptr, nullptr, "x"), XK_ERR_NULL_ARG);
    expect_report(xk_util_read_named_file("x", nullptr, &size, nullptr), XK_ERR_NULL_ARG);
    expect_report(xk_util_write_named_file(nullptr, 1, "x", 1, nullptr), XK_ERR_NULL_ARG);
    expect_report(xk_util_write_named_file("x", 1, nullptr, 0, nullptr), XK_ERR_NULL_ARG);
    expect_report(xk_util_copy_file(nullptr, "x"), XK_ERR_NULL_ARG);
    // A sysfs attribute reports 4096 bytes and holds fewer: the read ends at the real end.
    expect_report(xk_util_read_named_file("/sys/devices/system/cpu/online", &buf, &size, nullptr), XK_OK);
    EXPECT_EQ(std::string(buf, size + 1), read_text("/sys/devices/system/cpu/online") + '\0');
    free(buf);
    run_unprivileged([this] {  // a directory that may be written but not read cannot be synced
        TempDir mine;
        mkdir((mine / "d").c_str(), 0300);
        expect_report(xk_util_write_named_file((mine / "d/f").c_str(), 1, "data", 4, nullptr), XK_ERR_SYSTEM,
                      {}, 2);
        chmod((mine / "d").c_str(), 0700);
        EXPECT_EQ(read_text(mine / "d/f"), "data");
    });
}
