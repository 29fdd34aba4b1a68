#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "fault/driver.h"
#include "fault/expect.h"
#include "file/file_support.h"
#include "support/capture.h"
#include "xk/file.h"
#include "xk/path.h"

// The test positions descriptors past the seam, so its own seeks never meet an armed failure.
extern "C" off_t __real_lseek(int, off_t, int);

namespace {

using namespace xk::fault;
using xk::test::read_text;
using xk::test::TempDir;
using xk::test::write_text;

class FileFaults : public xk::test::ReportingTest {
protected:
    TempDir dir;
    std::string src = dir / "src.txt";
    void SetUp() override { write_text(src, "one\ntwo\nthree\n"); }
};

// --- descriptor I/O ---

TEST_F(FileFaults, OpenFailsWithTheFormatterStatusOrTheOpenErrno) {
    long points = drive_allocations(
        [&] {
            capture.clear();
            int fd = -7;
            xk_util_status st =
                xk_util_open(&fd, nullptr, O_RDONLY, 0, "%s/%s", dir.path().c_str(), "src.txt");
            if (st != XK_OK) return false;
            close(fd);
            return true;
        },
        [&](long) {
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_vasprintf", kNoMem}}));
        });
    EXPECT_EQ(points, 1);

    points = drive(
        Call::open, EIO,
        [&] {
            capture.clear();
            int fd = -7, err = 0;
            xk_util_status st = xk_util_open(&fd, &err, O_RDONLY, 0, "%s", src.c_str());
            if (st != XK_OK) {
                EXPECT_EQ(st, kSystem);
                EXPECT_EQ(err, EIO);
                return false;
            }
            close(fd);
            return true;
        },
        [&](long) {
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_open", kSystem}}));
            EXPECT_TRUE(lines().empty());
        });
    EXPECT_EQ(points, 1);
}

TEST_F(FileFaults, ReadFileFreesItsBufferOnEveryFailure) {
    int fd = open(src.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    auto attempt = [&](xk_util_status expected, int expected_errno) {
        return [&, expected, expected_errno] {
            capture.clear();
            lseek(fd, 0, SEEK_SET);
            char *buf = reinterpret_cast<char *>(1);
            int64_t size = -1;
            int err = 0;
            xk_util_status st = xk_util_read_file(fd, &buf, &size, &err);
            if (st == XK_OK) {
                EXPECT_EQ(std::string(buf), "one\ntwo\nthree\n");
                free(buf);
                return true;
            }
            EXPECT_EQ(st, expected);
            EXPECT_EQ(err, expected_errno);
            if (expected != kSystem || expected_errno == 0) {
                // Past the fstat the caller keeps the size and gets no buffer.
                EXPECT_EQ(buf, nullptr);
                EXPECT_EQ(size, 14);
            } else {
                EXPECT_EQ(buf, reinterpret_cast<char *>(1));
                EXPECT_EQ(size, -1);
            }
            return false;
        };
    };
    auto one_trace = [&](uint32_t status) {
        return [&, status](long) { EXPECT_EQ(chain(traces()), (Chain{{"xk_util_read_file", status}})); };
    };
    EXPECT_EQ(drive_allocations(attempt(kNoMem, ENOMEM), one_trace(kNoMem)), 1);
    EXPECT_EQ(drive(Call::fstat, EIO, attempt(kSystem, EIO), one_trace(kSystem)), 1);
    // A failed read is not a failure of a call whose errno the caller asked for.
    EXPECT_EQ(drive(Call::read, EIO, attempt(kSystem, 0), one_trace(kSystem)), 1);
    close(fd);
}

TEST_F(FileFaults, CountLinesRestoresTheOffsetWhenAReadFails) {
    int fd = open(src.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    uint64_t count = 0;
    auto attempt = [&] {
        capture.clear();
        __real_lseek(fd, 4, SEEK_SET);
        count = 99;
        int err = 0;
        xk_util_status st = xk_util_count_lines(fd, &count, &err);
        if (st == XK_OK) {
            EXPECT_EQ(count, 3u);
            return true;
        }
        EXPECT_EQ(st, kSystem);
        EXPECT_EQ(err, EIO);
        return false;
    };
    auto one_trace = [&](long) { EXPECT_EQ(chain(traces()), (Chain{{"xk_util_count_lines", kSystem}})); };
    // Saving the offset, rewinding, and putting it back; nothing is counted before the rewind.
    EXPECT_EQ(drive(Call::lseek, EIO, attempt,
                    [&](long n) {
                        one_trace(n);
                        if (n < 2) {
                            EXPECT_EQ(count, 99u);
                        }
                    }),
              3);
    EXPECT_EQ(drive(Call::fstat, EIO, attempt,
                    [&](long n) {
                        one_trace(n);
                        EXPECT_EQ(count, 99u);
                    }),
              1);
    EXPECT_EQ(drive(
                  Call::read, EIO,
                  [&] {
                      bool ok = attempt();
                      if (!ok) {
                          EXPECT_EQ(__real_lseek(fd, 0, SEEK_CUR), 4);
                      }
                      return ok;
                  },
                  one_trace),
              1);
    close(fd);
}

TEST_F(FileFaults, WholeWriteStoresTheWriteErrno) {
    int fd = open((dir / "out").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    long points = drive(
        Call::write, ENOSPC,
        [&] {
            capture.clear();
            int err = 0;
            xk_util_status st = xk_util_whole_write(fd, "abc", 3, &err);
            if (st == XK_OK) return true;
            EXPECT_EQ(st, kSystem);
            EXPECT_EQ(err, ENOSPC);
            return false;
        },
        [&](long) {
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_whole_write", kSystem}}));
        });
    EXPECT_EQ(points, 1);
    close(fd);
    EXPECT_EQ(read_text(dir / "out"), "abc");
}

TEST_F(FileFaults, FileSizeClosesItsDescriptorWhenFstatFails) {
    auto attempt = [&] {
        capture.clear();
        int64_t size = -1;
        xk_util_status st = xk_util_get_file_size(src.c_str(), &size);
        if (st == XK_OK) return size == 14;
        EXPECT_EQ(st, kSystem);
        EXPECT_EQ(size, -1);
        return false;
    };
    auto one_trace = [&](long) { EXPECT_EQ(chain(traces()), (Chain{{"xk_util_get_file_size", kSystem}})); };
    EXPECT_EQ(drive(Call::open, EACCES, attempt, one_trace), 1);
    EXPECT_EQ(drive(Call::fstat, EIO, attempt, one_trace), 1);
}

TEST_F(FileFaults, PathCallsReportTheirErrno) {
    struct Case {
        Call call;
        const char *func;
        xk_util_status (*run)(const char *, int *);
    };
    const Case cases[] = {
        {Call::truncate, "xk_util_truncate_file",
         [](const char *p, int *e) { return xk_util_truncate_file(p, 2, e); }},
        {Call::unlink, "xk_util_delete_file",
         [](const char *p, int *e) { return xk_util_delete_file(p, e); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.func);
        capture.clear();
        xk::fault::arm(c.call, 0, EROFS);
        int err = 0;
        EXPECT_EQ(c.run(src.c_str(), &err), kSystem);
        xk::fault::disarm_all();
        EXPECT_EQ(err, EROFS);
        EXPECT_EQ(chain(traces()), (Chain{{c.func, kSystem}}));
        EXPECT_EQ(read_text(src), "one\ntwo\nthree\n");  // the file is as it was
    }

    // stat failing for a reason other than a missing file is a failure; ENOENT is an answer.
    for (int err : {EIO, ENOENT}) {
        capture.clear();
        int exists = 7;
        xk::fault::arm(Call::stat, 0, err);
        xk_util_status st = xk_util_query_file_exists(src.c_str(), &exists);
        xk::fault::disarm_all();
        if (err == EIO) {
            EXPECT_EQ(st, kSystem);
            EXPECT_EQ(exists, 7);
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_query_file_exists", kSystem}}));
        } else {
            EXPECT_EQ(st, XK_OK);
            EXPECT_EQ(exists, 0);
        }
    }
}

// --- durable sync ---

TEST_F(FileFaults, SyncReportsEachFailedStepWithoutLogging) {
    FILE *stream = fopen(src.c_str(), "ab");
    ASSERT_NE(stream, nullptr);
    auto attempt = [&] {
        capture.clear();
        fputs("x", stream);
        return xk_util_sync(stream, dir.path().c_str()) == XK_OK;
    };
    auto one_trace = [&](long) {
        EXPECT_EQ(chain(traces()), (Chain{{"xk_util_sync", kSystem}}));
        EXPECT_TRUE(lines().empty());
    };
    EXPECT_EQ(drive(Call::fflush, EIO, attempt, one_trace), 1);
    EXPECT_EQ(drive(Call::fsync, EIO, attempt, one_trace), 2);  // the file, then its directory
    EXPECT_EQ(drive(Call::open, EMFILE, attempt, one_trace), 1);
    fclose(stream);
}

TEST_F(FileFaults, SyncFileLogsEachFailureWithItsReason) {
    const std::string parent = dir.path();
    auto attempt = [&] {
        capture.clear();
        return xk_util_sync_file(src.c_str()) == XK_OK;
    };
    drive_allocations(attempt, [&](long) {
        EXPECT_EQ(chain(traces()),
                  (Chain{{"xk_util_get_directory_component", kNoMem}, {"xk_util_sync_file", kNoMem}}));
        EXPECT_EQ(texts(lines()), (Texts{"Memory allocation error  Reason: Cannot allocate memory",
                                         "Failed to get directory component"}));
    });
    const Texts opens{"Failed to open file " + src + "  Reason: Input/output error",
                      "Failed to open directory " + parent + "  Reason: Input/output error"};
    const Texts syncs{"Failed to sync file " + src + "  Reason: Input/output error",
                      "Failed to sync directory file " + parent + "  Reason: Input/output error"};
    for (Call call : {Call::open, Call::fsync}) {
        const Texts &expected = call == Call::open ? opens : syncs;
        long points = drive(call, EIO, attempt, [&](long n) {
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_sync_file", kSystem}}));
            ASSERT_EQ(lines().size(), 1u);
            EXPECT_EQ(lines()[0].text, expected[static_cast<size_t>(n)]);
            EXPECT_EQ(lines()[0].level, 3);
            EXPECT_EQ(lines()[0].file, "src/file/posix_fsync");
        });
        EXPECT_EQ(points, 2);
    }
}

// --- paths ---

TEST_F(FileFaults, DirectoryComponentLogsWhichAllocationFailed) {
    struct Case {
        const char *path;
        std::string text;
    };
    const Case cases[] = {
        {"plain-name", "Memory allocation for path plain-name  Reason: Cannot allocate memory"},
        {"/tmp/a/b", "Memory allocation error  Reason: Cannot allocate memory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        long points = drive_allocations(
            [&] {
                capture.clear();
                char *out = reinterpret_cast<char *>(1);
                xk_util_status st = xk_util_get_directory_component(c.path, &out);
                if (st == XK_OK) {
                    free(out);
                    return true;
                }
                EXPECT_EQ(st, kNoMem);
                EXPECT_EQ(out, nullptr);
                return false;
            },
            [&](long) {
                EXPECT_EQ(chain(traces()), (Chain{{"xk_util_get_directory_component", kNoMem}}));
                EXPECT_EQ(texts(lines()), (Texts{c.text}));
            });
        EXPECT_EQ(points, 1);
    }
}

TEST_F(FileFaults, AbsPathLogsTheRealpathReason) {
    capture.clear();
    char *out = reinterpret_cast<char *>(1);
    xk::fault::arm(Call::realpath, 0, ELOOP);
    EXPECT_EQ(xk_util_abs_path("some/where", &out), kSystem);
    xk::fault::disarm_all();
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_abs_path", kSystem}}));
    EXPECT_EQ(
        texts(lines()),
        (Texts{"Cannot determine absolute file path from relative path some/where  Reason: Too many levels "
               "of symbolic links"}));
}

// --- named files ---

TEST_F(FileFaults, FopenPassesTheFormatterStatusOnAndStoresTheFopenErrno) {
    long points = drive_allocations(
        [&] {
            capture.clear();
            FILE *stream = nullptr;
            xk_util_status st = xk_util_fopen(&stream, nullptr, "rb", "%s", src.c_str());
            if (st != XK_OK) {
                EXPECT_EQ(stream, nullptr);
                return false;
            }
            fclose(stream);
            return true;
        },
        [&](long) {
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_vasprintf", kNoMem}, {"xk_util_fopen", kNoMem}}));
        });
    EXPECT_EQ(points, 1);

    capture.clear();
    FILE *stream = nullptr;
    int err = 0;
    xk::fault::arm(Call::fopen, 0, EMFILE);
    EXPECT_EQ(xk_util_fopen(&stream, &err, "rb", "%s", src.c_str()), kSystem);
    xk::fault::disarm_all();
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(err, EMFILE);
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_fopen", kSystem}}));
}

TEST_F(FileFaults, ReadNamedFileReleasesStreamAndBufferOnEveryFailure) {
    char *buf = nullptr;
    auto attempt = [&] {
        capture.clear();
        buf = reinterpret_cast<char *>(1);
        size_t size = 0;
        if (xk_util_read_named_file(src.c_str(), &buf, &size, nullptr) != XK_OK) return false;
        EXPECT_EQ(std::string(buf, size), "one\ntwo\nthree\n");
        free(buf);
        return true;
    };
    // Once the stream is open the caller's pointer is cleared, so no failure hands back a block.
    auto cleared = [&](uint32_t status) {
        return [&, status](long) {
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_read_named_file", status}}));
            EXPECT_EQ(buf, nullptr);
        };
    };
    EXPECT_EQ(drive_allocations(attempt, cleared(kNoMem)), 1);
    EXPECT_EQ(drive(Call::fread, EIO, attempt, cleared(kSystem)), 1);
    EXPECT_EQ(drive(Call::fopen, EMFILE, attempt,
                    [&](long) {
                        EXPECT_EQ(chain(traces()), (Chain{{"xk_util_read_named_file", kSystem}}));
                        EXPECT_EQ(buf, reinterpret_cast<char *>(1));  // nothing allocated: untouched
                    }),
              1);
    // The size query opens and examines the file first.
    auto sized = [&](long) {
        EXPECT_EQ(chain(traces()),
                  (Chain{{"xk_util_get_file_size", kSystem}, {"xk_util_read_named_file", kSystem}}));
        EXPECT_EQ(buf, reinterpret_cast<char *>(1));
    };
    EXPECT_EQ(drive(Call::open, EACCES, attempt, sized), 1);
    EXPECT_EQ(drive(Call::fstat, EIO, attempt, sized), 1);
}

TEST_F(FileFaults, WriteNamedFileReportsEachStepAndLeavesNothingOpen) {
    const std::string dst = dir / "dst.txt";
    auto attempt = [&] {
        capture.clear();
        return xk_util_write_named_file(dst.c_str(), 1, "payload", 7, nullptr) == XK_OK;
    };
    EXPECT_EQ(
        drive_allocations(attempt,
                          [&](long) {
                              EXPECT_EQ(chain(traces()), (Chain{{"xk_util_get_directory_component", kNoMem},
                                                                {"xk_util_write_named_file", kNoMem}}));
                              EXPECT_EQ(texts(lines()),
                                        (Texts{"Memory allocation error  Reason: Cannot allocate memory"}));
                          }),
        1);
    auto here = [&](long) { EXPECT_EQ(chain(traces()), (Chain{{"xk_util_write_named_file", kSystem}})); };
    EXPECT_EQ(drive(Call::fopen, EACCES, attempt, here), 1);
    EXPECT_EQ(drive(Call::fwrite, ENOSPC, attempt, here), 1);
    auto in_sync = [&](long) {
        EXPECT_EQ(chain(traces()), (Chain{{"xk_util_sync", kSystem}, {"xk_util_write_named_file", kSystem}}));
    };
    EXPECT_EQ(drive(Call::fflush, EIO, attempt, in_sync), 1);
    EXPECT_EQ(drive(Call::fsync, EIO, attempt, in_sync), 2);
    EXPECT_EQ(drive(Call::open, EMFILE, attempt, in_sync), 1);
    EXPECT_EQ(read_text(dst), "payload");
}

TEST_F(FileFaults, AFailingCloseChangesNoOutcomeAndStillReleasesTheStream) {
    const std::string dst = dir / "closed.txt";
    int fds = xk::fault::open_descriptors();
    xk::fault::arm(Call::fclose, 0, EIO);
    EXPECT_EQ(xk_util_write_named_file(dst.c_str(), 1, "data", 4, nullptr), XK_OK);
    EXPECT_TRUE(xk::fault::fired(Call::fclose));
    xk::fault::disarm_all();
    EXPECT_EQ(xk::fault::open_descriptors(), fds);
    EXPECT_EQ(read_text(dst), "data");

    char *buf = nullptr;
    size_t size = 0;
    xk::fault::arm(Call::fclose, 0, EIO);
    EXPECT_EQ(xk_util_read_named_file(dst.c_str(), &buf, &size, nullptr), XK_OK);
    EXPECT_TRUE(xk::fault::fired(Call::fclose));
    xk::fault::disarm_all();
    EXPECT_EQ(xk::fault::open_descriptors(), fds);
    EXPECT_EQ(std::string(buf, size), "data");
    free(buf);
    EXPECT_TRUE(traces().empty());
}

TEST_F(FileFaults, CopyFilePassesOnTheFailingStepUntraced) {
    const std::string dst = dir / "copy.txt";
    auto attempt = [&] {
        capture.clear();
        return xk_util_copy_file(src.c_str(), dst.c_str()) == XK_OK;
    };
    // The read's buffer, then the write's directory part.
    long points = drive_allocations(attempt, [&](long n) {
        if (n == 0) {
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_read_named_file", kNoMem}}));
            EXPECT_FALSE(std::filesystem::exists(dst));
        } else {
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_get_directory_component", kNoMem},
                                              {"xk_util_write_named_file", kNoMem}}));
        }
    });
    EXPECT_EQ(points, 2);
    // The size query's open, then the directory opened for the sync.
    points = drive(Call::open, EIO, attempt, [&](long n) {
        if (n == 0) {
            EXPECT_EQ(chain(traces()),
                      (Chain{{"xk_util_get_file_size", kSystem}, {"xk_util_read_named_file", kSystem}}));
        } else {
            EXPECT_EQ(chain(traces()),
                      (Chain{{"xk_util_sync", kSystem}, {"xk_util_write_named_file", kSystem}}));
        }
    });
    EXPECT_EQ(points, 2);
    EXPECT_EQ(drive(Call::fwrite, ENOSPC, attempt,
                    [&](long) {
                        EXPECT_EQ(chain(traces()), (Chain{{"xk_util_write_named_file", kSystem}}));
                    }),
              1);
    EXPECT_EQ(read_text(dst), "one\ntwo\nthree\n");
}

}  // namespace
