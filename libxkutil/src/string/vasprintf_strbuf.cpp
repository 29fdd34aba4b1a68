// SPDX-License-Identifier: MIT
// The string buffer, its hexdump and its substitution. They share the reporting path of
// the formatted allocation; they log but never trace.
#include <ctype.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "internal/checked.h"
#include "internal/format_fill.h"
#include "internal/guards.h"
#include "internal/report.h"
#include "xk/strbuf.h"

namespace {
[[maybe_unused]] constexpr const char *kSource = "src/string/vasprintf";

constexpr int32_t kDefaultCapacity = 128;
constexpr int32_t kDefaultHexLimit = 256;
constexpr int64_t kGrowthSlack = 128;
// The appends log under this name also when called through xk_util_strbuf_append_f.
constexpr const char *kAppendName = "xk_util_strbuf_append_fv";

int append_failed(const char *what) {
    xk::report::log_error(kAppendName, what);
    xk::report::log_error(kAppendName, "Error in strbuf");
    return -1;
}

// Gives a record without storage its first block; false when that allocation fails.
bool ensure_storage(xk_util_strbuf *sb) {
    if (sb->str != nullptr) return true;
    int64_t capacity = sb->capacity != 0 ? sb->capacity : kDefaultCapacity;
    if (capacity < 0) return false;
    char *storage = static_cast<char *>(calloc(static_cast<size_t>(capacity), 1));
    if (storage == nullptr) return false;
    sb->str = storage;
    sb->capacity = static_cast<int32_t>(capacity);
    return true;
}

// Resizes the storage to new_capacity and zeroes it past the text of len bytes; on failure logs
// the append's two lines and leaves the record as it was.
bool grow(xk_util_strbuf *sb, int64_t len, int64_t new_capacity) {
    // The capacity field is 32 bits wide: a size it cannot hold, or one that would not hold the
    // text, counts as a failed resize.
    int32_t capacity = 0;
    char *grown = new_capacity > len && xk::checked::narrow(static_cast<size_t>(new_capacity), &capacity)
                      ? static_cast<char *>(realloc(sb->str, static_cast<size_t>(capacity)))
                      : nullptr;
    if (grown == nullptr) {
        xk::report::log_error(kAppendName, "Could not realloc strbuf to %ld",
                              static_cast<long>(new_capacity));
        xk::report::log_error(kAppendName, "Error in strbuf");
        return false;
    }
    sb->str = grown;
    sb->capacity = capacity;
    memset(grown + len, 0, static_cast<size_t>(new_capacity - len));
    return true;
}

// Copies the first n characters of head followed by tail.
void copy_joined(char *out, size_t n, const char *head, size_t head_len, const char *tail) {
    size_t from_head = n < head_len ? n : head_len;
    memcpy(out, head, from_head);
    memcpy(out + from_head, tail, n - from_head);
    out[n] = '\0';
}

// A piece longer than INT_MAX is one the formatter refuses with -1: the storage doubles, as it
// would then, until the resize is refused.
int append_refused(xk_util_strbuf *sb, int64_t len) {
    while (grow(sb, len, 2 * static_cast<int64_t>(sb->capacity))) {
    }
    return -1;
}

// Appends head then tail as one piece to a text of len bytes in existing storage, exactly as a
// formatted append producing those bytes would: the same fit test, the same growth steps and,
// when a resize fails, the same cut text left behind.
int append_text(xk_util_strbuf *sb, int64_t len, const char *head, size_t head_len, const char *tail,
                size_t tail_len) {
    size_t total = 0;
    int k = 0;
    if (!xk::checked::add(head_len, tail_len, &total) || !xk::checked::narrow(total, &k))
        return append_refused(sb, len);
    for (;;) {
        int64_t room = sb->capacity - len;
        if (static_cast<int32_t>(room) > k) {
            copy_joined(sb->str + len, static_cast<size_t>(k), head, head_len, tail);
            return k;
        }
        if (room > 0)
            copy_joined(sb->str + len, static_cast<size_t>(k < room - 1 ? k : room - 1), head, head_len,
                        tail);
        if (!grow(sb, len, k + len + kGrowthSlack)) return -1;
    }
}

// The formatted append from its attempt on, for a text of len bytes in existing storage.
int append_fv_at(xk_util_strbuf *sb, int64_t len, const char *format, va_list ap) {
    int64_t capacity = sb->capacity;
    for (;;) {
        int64_t room = capacity - len;
        // A record whose capacity a caller set below its text gets no room rather than a wrapped size.
        int n = xk::format_fill(sb->str + len, static_cast<size_t>(room > 0 ? room : 0), format, ap);
        if (n >= 0 && static_cast<int32_t>(room) > n) return n;
        int64_t new_capacity = n == -1 ? 2 * capacity : n + len + kGrowthSlack;
        if (!grow(sb, len, new_capacity)) return -1;
        capacity = new_capacity;
    }
}

// The text's length after an append of n characters to a text of len bytes. A zero byte among
// them ends the text there, and a failed append may leave cut text, so both are measured.
int64_t length_after(const xk_util_strbuf *sb, int64_t len, int n) {
    if (n < 0) return static_cast<int64_t>(strlen(sb->str));
    return len + static_cast<int64_t>(strnlen(sb->str + len, static_cast<size_t>(n)));
}

constexpr size_t kBytesPerLine = 16;

// How many of len bytes the buffer's hex_limit lets a dump write.
size_t dump_count(const xk_util_strbuf *sb, size_t len) {
    if (sb->hex_limit < 0) return 0;
    if (sb->hex_limit == 0) return len;
    return len < static_cast<size_t>(sb->hex_limit) ? len : static_cast<size_t>(sb->hex_limit);
}

// Collects the pieces of a dump (each one append of the layout: a separator, a hex pair, a
// text character, a line start) as bytes on a stage and writes them in runs: the pieces that
// fit the storage one after another go in one copy, which is what their appends would have done
// one by one; the first that does not fit goes through append_text, so growth and a failed
// growth match piece by piece. A piece too long for the stage (a long prefix) goes on its own.
class DumpWriter {
public:
    explicit DumpWriter(xk_util_strbuf *sb) : sb_(sb) {}
    DumpWriter(const DumpWriter &) = delete;
    DumpWriter &operator=(const DumpWriter &) = delete;
    ~DumpWriter() { flush(); }

    void piece(const char *text, size_t n) { add("", 0, text, n); }
    void line_start(const char *prefix, size_t n) { add("\n", 1, prefix, n); }
    void pair(unsigned char byte) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        char *digits = stage(2);
        digits[0] = kDigits[byte >> 4];
        digits[1] = kDigits[byte & 0xF];
    }
    void character(unsigned char byte) { *stage(1) = isprint(byte) ? static_cast<char>(byte) : '.'; }

private:
    struct Piece {
        const char *head;
        size_t head_len;
        const char *tail;
        size_t tail_len;
    };
    static constexpr size_t kStageBytes = 512;
    static constexpr size_t kStagePieces = 256;

    // Room on the stage for one piece of n bytes, flushing first when it is full.
    char *stage(size_t n) {
        if (used_ + n > kStageBytes || count_ == kStagePieces) flush();
        char *at = bytes_ + used_;
        used_ += n;
        ends_[count_++] = static_cast<uint16_t>(used_);
        return at;
    }
    void add(const char *head, size_t head_len, const char *tail, size_t tail_len) {
        if (tail_len > kStageBytes / 2) {
            flush();
            append_piece(Piece{head, head_len, tail, tail_len});
            return;
        }
        char *at = stage(head_len + tail_len);
        memcpy(at, head, head_len);
        memcpy(at + head_len, tail, tail_len);
    }
    void flush() {
        for (size_t done = 0; done < count_;) {
            size_t from = done == 0 ? 0 : ends_[done - 1];
            if (len_ < 0 && sb_->str != nullptr) len_ = static_cast<int64_t>(strlen(sb_->str));
            // The pieces from `done` on that fit one after another: each sees the room the
            // ones before it left.
            size_t fit = done;
            if (len_ >= 0) {
                int32_t room = static_cast<int32_t>(sb_->capacity - len_);
                while (fit < count_ && room > static_cast<int32_t>(ends_[fit] - from)) ++fit;
            }
            if (fit == done) {
                append_piece(Piece{bytes_ + from, ends_[done] - from, "", 0});
                ++done;
                continue;
            }
            size_t n = ends_[fit - 1] - from;
            memcpy(sb_->str + len_, bytes_ + from, n);
            len_ += static_cast<int64_t>(n);
            sb_->str[len_] = '\0';
            done = fit;
        }
        count_ = 0;
        used_ = 0;
    }
    // One piece as its own append: storage is made first when the record has none (and the
    // piece fails when it cannot be), a failed append leaves its cut text to be measured.
    void append_piece(const Piece &p) {
        if (len_ < 0) {
            if (!ensure_storage(sb_)) {
                append_failed("Alloc failed for strbuf");
                return;
            }
            len_ = static_cast<int64_t>(strlen(sb_->str));
        }
        int appended = append_text(sb_, len_, p.head, p.head_len, p.tail, p.tail_len);
        len_ =
            appended >= 0 ? len_ + appended : static_cast<int64_t>(strlen(sb_->str));  // cut text may remain
    }

    xk_util_strbuf *sb_;
    int64_t len_ = -1;  // the text's length once known
    char bytes_[kStageBytes];
    uint16_t ends_[kStagePieces];  // where each staged piece ends
    size_t count_ = 0;
    size_t used_ = 0;
};

// The replacement, formatted once when it is short enough to keep: every occurrence receives
// the same text, so copying these bytes gives what formatting anew would.
struct KeptText {
    char bytes[256];
    int length = -1;  // -1: not kept, formatted anew for each occurrence
};

KeptText format_once(const char *format, va_list ap) {
    KeptText kept;
    int n = xk::format_fill(kept.bytes, sizeof kept.bytes, format, ap);
    if (n >= 0 && static_cast<size_t>(n) < sizeof kept.bytes) kept.length = n;
    return kept;
}

struct Substitution {
    const char *needle;
    size_t needle_len;
    int max_count;
    // After a replacement: false once max_count replacements are made.
    bool go_on(int *made) const { return max_count == 0 || ++*made < max_count; }
};

// A replacement no longer than the needle and free of zero bytes can only shrink the text, so
// every piece lands where the appends would put it in a scratch of the same capacity, without
// growth: the buffer's own storage can take the result.
bool fits_in_place(const xk_util_strbuf *sb, const Substitution &job, const char *found,
                   const KeptText &with) {
    if (sb->str == nullptr || static_cast<int64_t>(strlen(sb->str)) >= sb->capacity) return false;
    if (found == nullptr) return true;
    size_t n = static_cast<size_t>(with.length);
    return with.length >= 0 && n <= job.needle_len && memchr(with.bytes, '\0', n) == nullptr;
}

// The result is written behind the reading cursor, never ahead of it; the storage past the new
// text is zeroed as in a fresh scratch.
int substitute_in_place(xk_util_strbuf *sb, const Substitution &job, const char *found,
                        const KeptText &with) {
    char *out = sb->str;
    const char *cursor = sb->str;
    int made = 0;
    for (; found != nullptr; found = strstr(cursor, job.needle)) {
        size_t before = static_cast<size_t>(found - cursor);
        if (out != cursor) memmove(out, cursor, before);
        out = static_cast<char *>(mempcpy(out + before, with.bytes, static_cast<size_t>(with.length)));
        cursor = found + job.needle_len;
        if (!job.go_on(&made)) break;
    }
    size_t rest = strlen(cursor);
    if (out != cursor) memmove(out, cursor, rest);
    out += rest;
    memset(out, 0, static_cast<size_t>(sb->capacity - (out - sb->str)));
    // Each replacement is no longer than the needle, so the change fits an int.
    return static_cast<int>((out - sb->str) - (cursor + rest - sb->str));
}

// The net change as an int: past its range (only zero bytes and failed appends counted in can
// take it there) it stays at the nearest end.
int clamp_to_int(int64_t value) {
    if (value > INT_MAX) return INT_MAX;
    return value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

// The general road: the appends into a scratch of the buffer's capacity, with the scratch's
// length kept here (zero bytes and cut text included) rather than measured per append.
int substitute_through_scratch(xk_util_strbuf *sb, const Substitution &job, const char *found,
                               const KeptText &with, const char *format, va_list ap) {
    xk_util_strbuf *scratch = xk_util_strbuf_new(sb->capacity);
    if (scratch == nullptr) return 0;  // sb stays exactly as it was
    const char *cursor = sb->str != nullptr ? sb->str : "";
    int64_t len = 0;
    int64_t result = 0;
    int made = 0;
    for (; found != nullptr; found = strstr(cursor, job.needle)) {
        size_t before = static_cast<size_t>(found - cursor);
        len = length_after(scratch, len, append_text(scratch, len, cursor, before, "", 0));
        int n = with.length >= 0
                    ? append_text(scratch, len, with.bytes, static_cast<size_t>(with.length), "", 0)
                    : append_fv_at(scratch, len, format, ap);
        len = length_after(scratch, len, n);
        result += n - static_cast<int64_t>(job.needle_len);
        cursor = found + job.needle_len;
        if (!job.go_on(&made)) break;
    }
    append_text(scratch, len, cursor, strlen(cursor), "", 0);
    char *old_text = sb->str;
    sb->str = scratch->str;
    sb->capacity = scratch->capacity;
    scratch->str = old_text;
    xk_util_strbuf_free(scratch);
    return clamp_to_int(result);
}

}  // namespace

extern "C" {

xk_util_strbuf *xk_util_strbuf_new(int initial_capacity) {
    xk::MallocGuard<xk_util_strbuf> sb(static_cast<xk_util_strbuf *>(calloc(1, sizeof(xk_util_strbuf))));
    if (!sb) return nullptr;
    int32_t capacity = initial_capacity != 0 ? initial_capacity : kDefaultCapacity;
    if (capacity < 0) return nullptr;
    sb.get()->str = static_cast<char *>(calloc(static_cast<size_t>(capacity), 1));
    if (sb.get()->str == nullptr) return nullptr;
    sb.get()->capacity = capacity;
    sb.get()->hex_limit = kDefaultHexLimit;
    return sb.release();
}

void xk_util_strbuf_free(xk_util_strbuf *sb) {
    if (sb == nullptr) return;
    free(sb->str);
    free(sb);
}

// Outside the contract, but a NULL record or one without storage is left alone rather than crashed on.
void xk_util_strbuf_clear(xk_util_strbuf *sb) {
    if (sb == nullptr || sb->str == nullptr) return;
    sb->str[0] = '\0';
}

int xk_util_strbuf_append_fv(xk_util_strbuf *sb, const char *format, va_list ap) {
    if (sb == nullptr) return append_failed("NULL strbuf");
    if (!ensure_storage(sb)) return append_failed("Alloc failed for strbuf");
    return append_fv_at(sb, static_cast<int64_t>(strlen(sb->str)), format, ap);
}

int xk_util_strbuf_append_f(xk_util_strbuf *sb, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    int n = xk_util_strbuf_append_fv(sb, format, ap);
    va_end(ap);
    return n;
}

void xk_util_strbuf_set_hex_limit(xk_util_strbuf *sb, int limit) {
    if (sb == nullptr) return;
    sb->hex_limit = limit;
}

char *xk_util_strbuf_getstr(xk_util_strbuf *sb) { return sb == nullptr ? nullptr : sb->str; }

void xk_util_strbuf_hexdump(xk_util_strbuf *sb, const char *prefix, const void *data, size_t len) {
    if (sb == nullptr || data == nullptr || len == 0) return;
    if (prefix == nullptr) prefix = "    ";
    size_t prefix_len = strlen(prefix);
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    size_t count = dump_count(sb, len);
    DumpWriter out(sb);
    for (size_t i = 0; i < count; ++i) {
        if (i == 0) {
            out.piece(prefix, prefix_len);
        } else if (i % kBytesPerLine == 0) {
            out.piece(" : ", 3);
            for (size_t j = i - kBytesPerLine; j < i; ++j) out.character(bytes[j]);
            out.line_start(prefix, prefix_len);
        } else if (i % 8 == 0) {
            out.piece(" - ", 3);
        } else {
            out.piece(" ", 1);
        }
        out.pair(bytes[i]);
    }
    if (count > 0) {
        out.piece(" : ", 3);
        for (size_t j = (count - 1) / kBytesPerLine * kBytesPerLine; j < count; ++j) out.character(bytes[j]);
    }
    out.piece("\n", 1);
}

int xk_util_strbuf_substitute_v(xk_util_strbuf *sb, const char *needle, int max_count, const char *format,
                                va_list ap) {
    if (sb == nullptr || needle == nullptr || format == nullptr) return 0;
    // An empty needle matches at the cursor forever: with no limit there is no finite answer, so
    // nothing changes (an explicit max_count still inserts that many times at the start).
    if (needle[0] == '\0' && max_count == 0) return 0;
    Substitution job{needle, strlen(needle), max_count};
    const char *found = max_count < 0 ? nullptr : strstr(sb->str != nullptr ? sb->str : "", needle);
    KeptText with = found != nullptr ? format_once(format, ap) : KeptText{};
    if (fits_in_place(sb, job, found, with)) return substitute_in_place(sb, job, found, with);
    return substitute_through_scratch(sb, job, found, with, format, ap);
}

int xk_util_strbuf_substitute(xk_util_strbuf *sb, const char *needle, int max_count, const char *format,
                              ...) {
    va_list ap;
    va_start(ap, format);
    int result = xk_util_strbuf_substitute_v(sb, needle, max_count, format, ap);
    va_end(ap);
    return result;
}

}  // extern "C"
