// SPDX-License-Identifier: MIT
/** @file
 * A header-only C++20 layer over libxkutil: owning handles with the right destructor for
 * each object the library hands out, std::string_view in and std::string out, and a
 * readable name for every status. It adds no exported symbol and throws nothing. */
#ifndef XK_XKUTIL_HPP
#define XK_XKUTIL_HPP

#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

#include <climits>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xk/xkutil.h"

namespace xk {

/** The name of a status value, such as "XK_ERR_NOMEM"; "XK_ERR_UNKNOWN" for any other value. */
constexpr std::string_view status_name(xk_util_status status) noexcept {
    switch (status) {
        case XK_OK: return "XK_OK";
        case XK_ERR_NOMEM: return "XK_ERR_NOMEM";
        case XK_ERR_NULL_ARG: return "XK_ERR_NULL_ARG";
        case XK_ERR_SYSTEM: return "XK_ERR_SYSTEM";
        case XK_ERR_INVALID: return "XK_ERR_INVALID";
        case XK_ERR_READ: return "XK_ERR_READ";
        case XK_ERR_BUFFER_TOO_SMALL: return "XK_ERR_BUFFER_TOO_SMALL";
        case XK_ERR_NOT_FOUND: return "XK_ERR_NOT_FOUND";
        case XK_ERR_OVERFLOW: return "XK_ERR_OVERFLOW";
        case XK_ERR_TIMEOUT: return "XK_ERR_TIMEOUT";
        case XK_ERR_NO_MORE: return "XK_ERR_NO_MORE";
        case XK_ERR_ACCESS: return "XK_ERR_ACCESS";
        case XK_ERR_ALREADY_RUNNING: return "XK_ERR_ALREADY_RUNNING";
        default: return "XK_ERR_UNKNOWN";
    }
}

/** A value together with the status of the call that made it; value is meaningful only
 * when ok(). */
template <typename T>
struct Result {
    xk_util_status status = XK_OK; /**< the call's status */
    T value{};                     /**< the result when status is XK_OK */
    /** True when the call succeeded. */
    bool ok() const noexcept { return status == XK_OK; }
};

/** Releases a malloc'd block with free. */
struct FreeDeleter {
    /** Frees p. */
    void operator()(void *p) const noexcept { free(p); }
};

/** An owned malloc'd block or array, as the library hands them out. */
template <typename T>
using MallocPtr = std::unique_ptr<T, FreeDeleter>;

/** An owned malloc'd C string, such as xk_util_getenv returns. */
using UniqueString = MallocPtr<char>;

/** An owned malloc'd array of size elements of T, released with free; the elements themselves
 * own nothing (see StringArray for arrays of strings). */
template <typename T>
class MallocArray {
public:
    MallocArray() = default;
    /** Takes ownership of data, a malloc'd array of size elements (NULL for none). */
    MallocArray(T *data, size_t size) noexcept : data_(data), size_(data != nullptr ? size : 0) {}
    /** The first element, or NULL. */
    T *data() const noexcept { return data_.get(); }
    /** The number of elements. */
    size_t size() const noexcept { return size_; }
    /** The elements as a span. */
    std::span<T> span() const noexcept { return {data_.get(), size_}; }
    /** The first element, for range-for. */
    T *begin() const noexcept { return data_.get(); }
    /** One past the last element. */
    T *end() const noexcept { return data_.get() + size_; }
    /** Gives the array back to the caller, who then frees it. */
    T *release() noexcept {
        size_ = 0;
        return data_.release();
    }

private:
    MallocPtr<T> data_;
    size_t size_ = 0;
};

/** An owned malloc'd array of count malloc'd strings, as xk_util_split hands them out: each
 * string is freed, then the array. */
class StringArray {
public:
    StringArray() = default;
    /** Takes ownership of strings (NULL for none) and of its first count entries. */
    StringArray(char **strings, size_t count) noexcept
        : strings_(strings), count_(strings != nullptr ? count : 0) {}
    ~StringArray() { reset(); }
    /** Takes over other's strings. */
    StringArray(StringArray &&other) noexcept
        : strings_(std::exchange(other.strings_, nullptr)), count_(std::exchange(other.count_, 0)) {}
    /** Frees the held strings and takes over other's. */
    StringArray &operator=(StringArray &&other) noexcept {
        if (this != &other) {
            reset();
            strings_ = std::exchange(other.strings_, nullptr);
            count_ = std::exchange(other.count_, 0);
        }
        return *this;
    }
    /** The number of strings. */
    size_t size() const noexcept { return count_; }
    /** String i (i < size()). */
    std::string_view operator[](size_t i) const noexcept { return strings_[i]; }
    /** The first entry, for range-for over char pointers. */
    char *const *begin() const noexcept { return strings_; }
    /** One past the last entry. */
    char *const *end() const noexcept { return strings_ + count_; }
    /** Copies of the strings. */
    std::vector<std::string> strings() const { return std::vector<std::string>(begin(), end()); }
    /** Frees every string and the array. */
    void reset() noexcept {
        for (size_t i = 0; i < count_; ++i) free(strings_[i]);
        free(strings_);
        strings_ = nullptr;
        count_ = 0;
    }

private:
    char **strings_ = nullptr;
    size_t count_ = 0;
};

/** Takes ownership of a malloc'd C string and copies it into a std::string. */
inline std::string take_string(char *text) {
    MallocPtr<char> owned(text);
    return owned ? std::string(owned.get()) : std::string();
}

/** Takes a malloc'd block of len elements: its contents when keep is true, freed either way. */
template <typename Char, typename Elem>
inline std::basic_string<Char> take_block(Elem *block, size_t len, bool keep) {
    MallocPtr<Elem> owned(block);
    if (!keep || !owned) return {};
    return std::basic_string<Char>(reinterpret_cast<const Char *>(owned.get()), len);
}

/** A NUL-terminated copy of a view, for the C interface. */
inline std::string terminated(std::string_view text) { return std::string(text); }

namespace detail {
template <typename T, void (*Free)(T *)>
struct CallFree {
    void operator()(T *p) const noexcept { Free(p); }
};
}  // namespace detail

/** An owned collection, freed (with every element) by xk_collection_free. */
using Collection = std::unique_ptr<xk_collection, detail::CallFree<xk_collection, xk_collection_free>>;

/** Makes a collection; empty when the library refuses (see xk_collection_new). */
inline Collection make_collection(std::string_view name, xk_collection_create_fn create_fn,
                                  xk_collection_copy_fn copy_fn, xk_collection_free_fn free_fn) {
    return Collection(xk_collection_new(terminated(name).c_str(), create_fn, copy_fn, free_fn));
}

/** A sliding-window sum whose bucket array is released with xk_util_sum_free. */
class Sum {
public:
    /** Makes a sum over n buckets; check status() before use. */
    explicit Sum(size_t n) noexcept : status_(xk_util_sum_init(&sum_, n)) {}
    ~Sum() {
        if (status_ == XK_OK) xk_util_sum_free(&sum_);
    }
    Sum(const Sum &) = delete;
    Sum &operator=(const Sum &) = delete;
    /** The status of the initialisation. */
    xk_util_status status() const noexcept { return status_; }
    /** Adds value into the current bucket. */
    void add(double value) noexcept { xk_util_sum_inc(&sum_, value); }
    /** Advances to the next bucket, dropping the oldest; returns the window sum. */
    double next() noexcept { return xk_util_sum_next(&sum_); }
    /** The window sum. */
    double window() const noexcept { return xk_util_sum_get(&sum_); }
    /** The running total across advances. */
    double total() const noexcept { return xk_util_sum_get_total(&sum_); }
    /** The underlying record. */
    xk_util_sum *get() noexcept { return &sum_; }

private:
    xk_util_sum sum_{};
    xk_util_status status_;
};

/** A directory scan in case-insensitive name order, usable in a range-for:
 * `for (const std::string &name : xk::DirScan(path)) ...`. Ends the scan when destroyed. */
class DirScan {
public:
    /** Starts scanning path; an unreadable directory gives an empty range (valid() is false). */
    explicit DirScan(std::string_view path) : cursor_(xk_util_dirscan_begin(terminated(path).c_str())) {}
    ~DirScan() { xk_util_dirscan_end(cursor_); }
    DirScan(const DirScan &) = delete;
    DirScan &operator=(const DirScan &) = delete;
    /** True when the directory could be read. */
    bool valid() const noexcept { return cursor_ != nullptr; }

    /** Input iterator over entry names. */
    class iterator {
    public:
        using iterator_category = std::input_iterator_tag; /**< single pass */
        using value_type = std::string;                    /**< an entry name */
        using difference_type = std::ptrdiff_t;            /**< unused */
        iterator() = default;
        /** Positions at the first entry of the scan. */
        explicit iterator(xk_util_dirscan_cursor *cursor) : cursor_(cursor) { advance(); }
        /** The current entry's name. */
        const std::string &operator*() const noexcept { return name_; }
        /** Steps to the next entry. */
        iterator &operator++() {
            advance();
            return *this;
        }
        /** Two iterators are equal when both are at the end. */
        bool operator==(const iterator &other) const noexcept { return cursor_ == other.cursor_; }

    private:
        void advance() {
            if (cursor_ == nullptr) return;
            if (xk_util_dirscan(cursor_) != XK_OK) {
                cursor_ = nullptr;
                return;
            }
            name_ = take_string(xk_dirscan_file_name(cursor_));
        }
        xk_util_dirscan_cursor *cursor_ = nullptr;
        std::string name_;
    };

    /** The first entry (consumes the scan: iterate once). */
    iterator begin() { return iterator(cursor_); }
    /** The end of the scan. */
    iterator end() { return iterator(); }

private:
    xk_util_dirscan_cursor *cursor_;
};

/** An owned text buffer, released with xk_util_strbuf_free. Like the record it wraps, it has
 * no lock: use it from one thread at a time. */
class StrBuf {
public:
    /** Makes a buffer (0 means the default capacity); check valid() before use. */
    explicit StrBuf(int initial_capacity = 0) noexcept : sb_(xk_util_strbuf_new(initial_capacity)) {}
    /** True when the buffer could be made. */
    bool valid() const noexcept { return sb_ != nullptr; }
    /** The underlying record, for the C functions. */
    xk_util_strbuf *get() const noexcept { return sb_.get(); }
    /** Appends printf-style text; the characters appended, or -1 (logged). */
    int append_f(const char *format, ...) __attribute__((format(printf, 2, 3))) {
        va_list ap;
        va_start(ap, format);
        int n = xk_util_strbuf_append_fv(sb_.get(), format, ap);
        va_end(ap);
        return n;
    }
    /** Appends text as it is ('%' is not special; text stops at an embedded NUL); -1 on failure. */
    int append(std::string_view text) noexcept {
        if (text.size() > INT_MAX) return -1;
        return xk_util_strbuf_append_f(sb_.get(), "%.*s", static_cast<int>(text.size()), text.data());
    }
    /** Appends a hex and text dump of data, each line starting with prefix. */
    void hexdump(std::span<const uint8_t> data, const char *prefix = nullptr) noexcept {
        xk_util_strbuf_hexdump(sb_.get(), prefix, data.data(), data.size());
    }
    /** Replaces up to max_count (0: every) occurrences of needle by replacement, taken literally;
     * returns the net change of the length. */
    int substitute(std::string_view needle, std::string_view replacement, int max_count = 0) {
        return xk_util_strbuf_substitute(sb_.get(), terminated(needle).c_str(), max_count, "%s",
                                         terminated(replacement).c_str());
    }
    /** Empties the text, keeping the storage. */
    void clear() noexcept {
        if (sb_) xk_util_strbuf_clear(sb_.get());
    }
    /** The text, valid until the next change (empty for an invalid buffer). */
    std::string_view view() const noexcept {
        const char *text = xk_util_strbuf_getstr(sb_.get());
        return text != nullptr ? std::string_view(text) : std::string_view();
    }
    /** A copy of the text. */
    std::string str() const { return std::string(view()); }

private:
    std::unique_ptr<xk_util_strbuf, detail::CallFree<xk_util_strbuf, xk_util_strbuf_free>> sb_;
};

/** Splits text at the whole string delim; empty fields are dropped. */
inline Result<std::vector<std::string>> split(std::string_view text, std::string_view delim) {
    char **fields = nullptr;
    size_t count = 0;
    Result<std::vector<std::string>> r;
    r.status = xk_util_split(terminated(text).c_str(), terminated(delim).c_str(), &fields, &count);
    StringArray owned(r.ok() ? fields : nullptr, count);
    r.value = owned.strings();
    return r;
}

/** Joins parts with sep. An empty list gives XK_ERR_NULL_ARG, as xk_util_join does. */
inline Result<std::string> join(std::span<const std::string_view> parts, std::string_view sep) {
    std::vector<std::string> copies(parts.begin(), parts.end());
    std::vector<const char *> pointers;
    pointers.reserve(copies.size());
    for (const std::string &part : copies) pointers.push_back(part.c_str());
    char *joined = nullptr;
    size_t size = 0;
    Result<std::string> r;
    r.status = xk_util_join(pointers.data(), pointers.size(), terminated(sep).c_str(), &joined, &size);
    r.value = take_string(joined);
    return r;
}

/** join for a braced list: `xk::join({"a", "b"}, ",")`. */
inline Result<std::string> join(std::initializer_list<std::string_view> parts, std::string_view sep) {
    return join(std::span<const std::string_view>(parts.begin(), parts.size()), sep);
}

/** Lower-case hex text of a byte array, two digits per byte. */
inline Result<std::string> hex_encode(std::span<const uint8_t> data) {
    char *text = nullptr;
    Result<std::string> r;
    r.status = xk_util_sprintf_bytes(data.data(), data.size(), &text);
    r.value = take_string(text);
    return r;
}

/** Bytes of hex text (either case); an odd last digit is ignored. */
inline Result<std::string> hex_decode(std::string_view hex) {
    uint8_t *bytes = nullptr;
    Result<std::string> r;
    r.status = xk_util_sscanf_bytes(hex.data(), hex.size(), &bytes);
    r.value = take_block<char>(bytes, hex.size() / 2, r.ok());
    return r;
}

/** The wide form of multibyte text in the current locale (text stops at an embedded NUL). */
inline Result<std::wstring> to_wide(std::string_view text) {
    std::string copy(text);
    wchar_t *wide = nullptr;
    size_t len = 0;
    Result<std::wstring> r;
    r.status = xk_util_char_to_wchar(copy.c_str(), copy.size(), &wide, &len);
    r.value = take_block<wchar_t>(wide, len, r.ok());
    return r;
}

/** Claims the pid file at path for this process; on XK_ERR_ALREADY_RUNNING the value is the
 * pid of the process that holds it. */
inline Result<unsigned int> claim_pid_file(std::string_view path, std::string_view exe_name) {
    Result<unsigned int> r;
    r.status = xk_util_claim_pid_file(terminated(path).c_str(), terminated(exe_name).c_str(), &r.value);
    return r;
}

}  // namespace xk

extern "C" {
extern char **environ; /**< the process's environment, the default for spawned children */
}

namespace xk {

/** A started child process; owns the handle from xk_spawn. Destroying it without a wait
 * frees the handle and leaves the child alone (unwaited), as xk_free_proc_handle does. */
class Process {
public:
    Process() = default;
    /** Takes ownership of a handle from xk_spawn. */
    explicit Process(xk_proc_handle *handle) noexcept : handle_(handle) {}
    ~Process() { xk_free_proc_handle(&handle_); }
    /** Takes over other's child. */
    Process(Process &&other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    /** Releases the held handle and takes over other's. */
    Process &operator=(Process &&other) noexcept {
        if (this != &other) {
            xk_free_proc_handle(&handle_);
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    /** True while a child is held (not yet waited for). */
    bool valid() const noexcept { return handle_ != nullptr; }
    /** The child's pid, or -1 when none is held. */
    pid_t pid() const noexcept { return handle_ != nullptr ? handle_->pid : -1; }

    /** Waits for the child; the value is its exit code, or -1 when a signal ended it. On success
     * the handle is released; after a failure it is kept. */
    Result<int> wait() noexcept {
        Result<int> r;
        r.status = xk_wait(&handle_, &r.value);
        return r;
    }

    /** Waits until the child ends or deadline passes, looking every poll_ms milliseconds. At the
     * deadline the child is killed and reaped: the status is XK_ERR_TIMEOUT and the value -1. */
    Result<int> wait_until(const xk_util_timeout &deadline, long poll_ms = 10) noexcept {
        Result<int> r;
        if (handle_ == nullptr) return wait();
        for (;;) {
            // WNOWAIT leaves the child waitable, so xk_wait reaps it and releases the handle.
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(handle_->pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
                info.si_pid != 0)
                return wait();
            xk_util_timeout now{};
            int order = 0;
            r.status = xk_util_future_timeout(&now, 0, 1);
            if (r.ok()) r.status = xk_util_cmp_timeout(&now, &deadline, &order);
            if (!r.ok()) return r;
            if (order >= 0) {
                kill(handle_->pid, SIGKILL);
                r = wait();
                if (r.ok()) r = Result<int>{XK_ERR_TIMEOUT, -1};
                return r;
            }
            struct timespec pause = {poll_ms / 1000, (poll_ms % 1000) * 1000000L};
            nanosleep(&pause, nullptr);
        }
    }

    /** Waits at most seconds (a fraction is fine) for the child; as wait_until. */
    Result<int> wait_for(double seconds, long poll_ms = 10) noexcept {
        xk_util_timeout deadline{};
        Result<int> r;
        r.status = xk_util_future_timeout(&deadline, static_cast<int64_t>(seconds * 1000), 1000);
        return r.ok() ? wait_until(deadline, poll_ms) : r;
    }

    /** The handle, for the C functions (still owned here). */
    xk_proc_handle *get() const noexcept { return handle_; }
    /** Gives the handle to the caller, who then waits on or frees it. */
    xk_proc_handle *release() noexcept { return std::exchange(handle_, nullptr); }

private:
    xk_proc_handle *handle_ = nullptr;
};

/** Starts argv[0] (a full path: there is no PATH search) with argv and envp, by default this
 * process's environment. An empty argv starts nothing and gives XK_ERR_INVALID (untraced). */
inline Result<Process> spawn(std::span<const std::string_view> argv, char *const *envp = environ) {
    Result<Process> r;
    std::vector<std::string> copies(argv.begin(), argv.end());
    std::vector<char *> pointers;
    pointers.reserve(copies.size() + 1);
    for (std::string &arg : copies) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    xk_proc_handle *handle = nullptr;
    r.status = copies.empty() ? XK_ERR_INVALID : xk_spawn(pointers.data(), envp, &handle);
    r.value = Process(handle);
    return r;
}

/** spawn for a braced list: `xk::spawn({"/bin/sleep", "1"})`. */
inline Result<Process> spawn(std::initializer_list<std::string_view> argv, char *const *envp = environ) {
    return spawn(std::span<const std::string_view>(argv.begin(), argv.size()), envp);
}

/** Reads a whole named file. */
inline Result<std::string> read_named_file(std::string_view path) {
    char *buf = nullptr;
    size_t size = 0;
    Result<std::string> r;
    r.status = xk_util_read_named_file(terminated(path).c_str(), &buf, &size, nullptr);
    r.value = take_block<char>(buf, size, r.ok());
    return r;
}

/** Writes (overwrite true) or appends data to a named file and makes it durable. */
inline xk_util_status write_named_file(std::string_view path, std::string_view data, bool overwrite = true) {
    return xk_util_write_named_file(terminated(path).c_str(), overwrite ? 1 : 0, data.data(), data.size(),
                                    nullptr);
}

/** The directory part of a path. */
inline Result<std::string> directory_component(std::string_view path) {
    char *dir = nullptr;
    Result<std::string> r;
    r.status = xk_util_get_directory_component(terminated(path).c_str(), &dir);
    r.value = take_string(dir);
    return r;
}

/** Base64 text of a byte array. */
inline Result<std::string> base64_encode(std::span<const uint8_t> data) {
    char *text = nullptr;
    size_t len = 0;
    Result<std::string> r;
    r.status = xk_util_base64_encode(data.data(), data.size(), &text, &len);
    r.value = take_block<char>(text, len, r.ok());
    return r;
}

/** Bytes of base64 text; non-digits are skipped. */
inline Result<std::string> base64_decode(std::string_view text) {
    uint8_t *bytes = nullptr;
    size_t len = 0;
    Result<std::string> r;
    r.status = xk_util_base64_decode(text.data(), text.size(), &bytes, &len);
    r.value = take_block<char>(bytes, len, r.ok());
    return r;
}

/** The 64-bit hash of a byte buffer. */
inline Result<uint64_t> hash64(std::string_view data) {
    Result<uint64_t> r;
    r.status = xk_util_hash64(data.data(), data.size(), &r.value);
    return r;
}

}  // namespace xk

#endif
