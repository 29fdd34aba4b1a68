#include "support/capture.h"

using namespace xk::test;
using SyncTest = ReportingTest;

TEST_F(SyncTest, SyncsTheFileThenItsDirectoryForPathsBelow1000Bytes) {
    TempDir dir;
    FILE *stream = fopen((dir / "f").c_str(), "w");
    std::string cwd = std::filesystem::current_path(), path = dir.path() + "/";
    chdir(dir.path().c_str());
    fputs("data", stream);  // a bare name is its own directory part
    expect_all({xk_util_sync(stream, nullptr), xk_util_sync_file("f")}, XK_OK);
    chdir(cwd.c_str());
    EXPECT_EQ(std::tuple(read_text(dir / "f"), fclose(stream)), std::tuple("data", 0));
    path += std::string(999 - path.size(), 'n');  // 999 bytes are looked for, 1000 refused untouched
    expect_report(xk_util_sync_file(path.c_str()), XK_ERR_SYSTEM,
                  {with_reason("Failed to open file " + path, ENAMETOOLONG)});
    expect_report(xk_util_sync_file((path + "n").c_str()), XK_ERR_INVALID);
    expect_all({xk_util_sync_file(nullptr), xk_util_sync(nullptr, nullptr)});
}
