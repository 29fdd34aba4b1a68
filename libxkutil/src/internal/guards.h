/* SPDX-License-Identifier: MIT */
// One owner per resource a function takes for itself, so every path gives it back.
// release() hands ownership to the caller on the one road where it moves out.
#ifndef XK_INTERNAL_GUARDS_H
#define XK_INTERNAL_GUARDS_H

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace xk {

class FdGuard {
public:
    explicit FdGuard(int fd = -1) : fd_(fd) {}
    ~FdGuard() { reset(); }
    FdGuard(const FdGuard &) = delete;
    FdGuard &operator=(const FdGuard &) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now and returns close()'s result, for callers that must check it.
    int close() {
        int rc = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

class FileGuard {
public:
    explicit FileGuard(FILE *stream = nullptr) : stream_(stream) {}
    ~FileGuard() { reset(); }
    FileGuard(const FileGuard &) = delete;
    FileGuard &operator=(const FileGuard &) = delete;
    FILE *get() const { return stream_; }
    explicit operator bool() const { return stream_ != nullptr; }
    FILE *release() {
        FILE *stream = stream_;
        stream_ = nullptr;
        return stream;
    }
    void reset(FILE *stream = nullptr) {
        if (stream_ != nullptr) fclose(stream_);
        stream_ = stream;
    }
    // Closes now and returns fclose()'s result, for callers that must check it.
    int close() {
        int rc = stream_ != nullptr ? fclose(stream_) : 0;
        stream_ = nullptr;
        return rc;
    }

private:
    FILE *stream_;
};

class DirGuard {
public:
    explicit DirGuard(DIR *dir = nullptr) : dir_(dir) {}
    ~DirGuard() {
        if (dir_ != nullptr) closedir(dir_);
    }
    DirGuard(const DirGuard &) = delete;
    DirGuard &operator=(const DirGuard &) = delete;
    DIR *get() const { return dir_; }
    explicit operator bool() const { return dir_ != nullptr; }

private:
    DIR *dir_;
};

// A malloc'd block, freed unless released.
template <typename T = void>
class MallocGuard {
public:
    explicit MallocGuard(T *ptr = nullptr) : ptr_(ptr) {}
    ~MallocGuard() { free(ptr_); }
    MallocGuard(const MallocGuard &) = delete;
    MallocGuard &operator=(const MallocGuard &) = delete;
    T *get() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    T *release() {
        T *ptr = ptr_;
        ptr_ = nullptr;
        return ptr;
    }
    void reset(T *ptr = nullptr) {
        free(ptr_);
        ptr_ = ptr;
    }
    // For calls that fill a T ** (for example xk_util_asprintf); frees what was held.
    T **out() {
        reset();
        return &ptr_;
    }

private:
    T *ptr_;
};

}  // namespace xk

#endif
