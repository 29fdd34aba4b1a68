#include <errno.h>
#include <stdlib.h>

#include <string>

#include "fault/driver.h"
#include "fault/expect.h"
#include "file/file_support.h"
#include "support/capture.h"
#include "xk/directory.h"

namespace {

using namespace xk::fault;
using xk::test::TempDir;

class DirectoryFaults : public xk::test::ReportingTest {
protected:
    TempDir dir;
    void SetUp() override {
        xk::test::write_text(dir / "b", "");
        xk::test::write_text(dir / "A", "");
    }
};

TEST_F(DirectoryFaults, MkdirFailuresTraceAndOnlyTheReadOnlyOneLogs) {
    const std::string path = dir / "made";
    xk::fault::arm(Call::mkdir, 0, ENOSPC);
    EXPECT_EQ(xk_util_mkdir(path.c_str()), XK_ERR_SYSTEM);
    xk::fault::disarm_all();
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_mkdir", XK_ERR_SYSTEM}}));
    EXPECT_TRUE(lines().empty());

    capture.clear();
    xk::fault::arm(Call::mkdir, 0, ENOSPC);
    EXPECT_EQ(xk_util_mkdir_read_only(path.c_str()), XK_ERR_SYSTEM);
    xk::fault::disarm_all();
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_mkdir_read_only", XK_ERR_SYSTEM}}));
    EXPECT_EQ(texts(lines()),
              (Texts{"Failed to create directory " + path + "  Reason: No space left on device"}));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(DirectoryFaults, DirExistsAnswersNoWhenOpendirFails) {
    for (int err : {EACCES, ENOENT}) {
        capture.clear();
        int exists = 7;
        xk::fault::arm(Call::opendir, 0, err);
        EXPECT_EQ(xk_util_query_dir_exists(dir.path().c_str(), &exists), XK_OK);
        xk::fault::disarm_all();
        EXPECT_EQ(exists, 0);
        EXPECT_TRUE(traces().empty());
        if (err == ENOENT) {
            EXPECT_TRUE(lines().empty());
        } else {
            EXPECT_EQ(texts(lines()), (Texts{"Error checking directory " + dir.path() +
                                             " existence  Reason: Permission denied"}));
        }
    }
}

TEST_F(DirectoryFaults, ScanBeginReleasesTheCursorWhenItCannotStart) {
    auto attempt = [&] {
        capture.clear();
        xk_util_dirscan_cursor *cursor = xk_util_dirscan_begin(dir.path().c_str());
        if (cursor == nullptr) return false;
        xk_util_dirscan_end(cursor);
        return true;
    };
    // Only the cursor is ours: the entries come from inside scandir.
    EXPECT_EQ(drive_allocations(attempt,
                                [&](long) {
                                    EXPECT_EQ(texts(lines()), (Texts{"Failed to allocate memory"}));
                                    EXPECT_TRUE(traces().empty());
                                }),
              1);
    EXPECT_EQ(drive(Call::scandir, EMFILE, attempt,
                    [&](long) {
                        EXPECT_EQ(texts(lines()), (Texts{"Failed to scan directory " + dir.path() +
                                                         "  Reason: Too many open files"}));
                        EXPECT_EQ(lines()[0].file, "src/directory/linux");
                        EXPECT_TRUE(traces().empty());
                    }),
              1);
}

TEST_F(DirectoryFaults, FileNameFailsAloneAndTheScanGoesOn) {
    xk_util_dirscan_cursor *cursor = xk_util_dirscan_begin(dir.path().c_str());
    ASSERT_NE(cursor, nullptr);
    ASSERT_EQ(xk_util_dirscan(cursor), XK_OK);
    long points = drive_allocations(
        [&] {
            capture.clear();
            char *name = xk_dirscan_file_name(cursor);
            if (name == nullptr) return false;
            EXPECT_STREQ(name, "A");
            free(name);
            return true;
        },
        [&](long) {
            EXPECT_EQ(texts(lines()), (Texts{"Failed to allocate memory"}));
            EXPECT_TRUE(traces().empty());
        });
    EXPECT_EQ(points, 1);
    ASSERT_EQ(xk_util_dirscan(cursor), XK_OK);
    char *name = xk_dirscan_file_name(cursor);
    EXPECT_STREQ(name, "b");
    free(name);
    xk_util_dirscan_end(cursor);
}

}  // namespace
