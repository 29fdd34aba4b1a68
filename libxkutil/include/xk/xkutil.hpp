/** @file
 * A header-only C++20 layer over libxkutil: owning handles with the right destructor for
 * each object the library hands out, std::string_view in and std::string out, and a
 * readable name for every status. It adds no exported symbol and throws nothing. */
#ifndef XK_XKUTIL_HPP
#define XK_XKUTIL_HPP

#include <stdlib.h>

#include <cstdint>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

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

/** Takes ownership of a malloc'd C string and copies it into a std::string. */
inline std::string take_string(char *text) {
    MallocPtr<char> owned(text);
    return owned ? std::string(owned.get()) : std::string();
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

/** Reads a whole named file. */
inline Result<std::string> read_named_file(std::string_view path) {
    char *buf = nullptr;
    size_t size = 0;
    Result<std::string> r;
    r.status = xk_util_read_named_file(terminated(path).c_str(), &buf, &size, nullptr);
    MallocPtr<char> owned(buf);
    if (r.ok()) r.value.assign(owned.get(), size);
    return r;
}

/** Writes (overwrite true) or appends data to a named file and makes it durable. */
inline xk_util_status write_named_file(std::string_view path, std::string_view data, bool overwrite = true) {
    return xk_util_write_named_file(terminated(path).c_str(), overwrite ? 1 : 0, data.data(), data.size(), nullptr);
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
    MallocPtr<char> owned(text);
    if (r.ok()) r.value.assign(owned.get(), len);
    return r;
}

/** Bytes of base64 text; non-digits are skipped. */
inline Result<std::string> base64_decode(std::string_view text) {
    uint8_t *bytes = nullptr;
    size_t len = 0;
    Result<std::string> r;
    r.status = xk_util_base64_decode(text.data(), text.size(), &bytes, &len);
    MallocPtr<uint8_t> owned(bytes);
    if (r.ok()) r.value.assign(reinterpret_cast<const char *>(owned.get()), len);
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
