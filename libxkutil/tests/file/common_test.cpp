// SPDX-License-Identifier: MIT
#include "support/capture.h"

using namespace xk::test;
using NamedFileTest = ReportingTest;

// Appends, replaces, and writes nothing to an empty file; bytes go through as they are. A sysfs
// attribute reports 4096 bytes and holds fewer: the read ends at the real end.
TEST_F(NamedFileTest, FopenReadWriteAndCopy) {
    TempDir dir;
    const std::string f = dir / "f", copy = dir / "copy", sys = "/sys/devices/system/cpu/online";
    FILE *stream = nullptr;
    char *buf = nullptr, *attribute = nullptr;
    size_t size = 9, attribute_size = 0;
    int err = -1;
    mode_t old_mask = umask(027);
    expect_all(
        {xk_util_write_named_file(f.c_str(), 0, "one", 3, nullptr),
         xk_util_write_named_file(f.c_str(), 0, "two", 3, nullptr),
         xk_util_write_named_file(f.c_str(), 1, "", 0, nullptr),
         xk_util_write_named_file(f.c_str(), 1, "a\0b\nc", 5, nullptr),
         xk_util_read_named_file(f.c_str(), &buf, &size, nullptr), xk_util_copy_file(f.c_str(), copy.c_str()),
         xk_util_fopen(&stream, &err, "rb", "%s/%c", dir.path().c_str(), 'f'),
         xk_util_read_named_file(sys.c_str(), &attribute, &attribute_size, nullptr)},
        XK_OK);
    umask(old_mask);
    struct stat sb;
    stat(copy.c_str(), &sb);
    EXPECT_EQ(std::tuple(std::string(buf, size + 1), std::string(attribute, attribute_size + 1),
                         fgetc(stream), err, read_text(copy), sb.st_mode & 0777),
              std::tuple(std::string("a\0b\nc\0", 6), read_text(sys) + '\0', 'a', 0, read_text(f), 0640u));
    free(buf), free(attribute), fclose(stream);
    expect_report(xk_util_copy_file((dir / "none").c_str(), copy.c_str()), XK_ERR_SYSTEM, {}, 2);
    expect_all({xk_util_fopen(&stream, nullptr, nullptr, "x"),
                xk_util_read_named_file("x", nullptr, &size, nullptr),
                xk_util_write_named_file(nullptr, 1, "x", 1, nullptr),
                xk_util_write_named_file("x", 1, nullptr, 0, nullptr), xk_util_copy_file(nullptr, "x")});
}
