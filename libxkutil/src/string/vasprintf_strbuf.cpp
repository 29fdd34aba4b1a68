// The string buffer, its hexdump and its substitution. They share the reporting path of
// the formatted allocation; they log but never trace.
#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
    char *grown = new_capacity > len && new_capacity <= INT32_MAX
                      ? static_cast<char *>(realloc(sb->str, static_cast<size_t>(new_capacity)))
                      : nullptr;
    if (grown == nullptr) {
        xk::report::log_error(kAppendName, "Could not realloc strbuf to %ld",
                              static_cast<long>(new_capacity));
        xk::report::log_error(kAppendName, "Error in strbuf");
        return false;
    }
    sb->str = grown;
    sb->capacity = static_cast<int32_t>(new_capacity);
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

// Appends head then tail as one piece to a text of len bytes in existing storage, exactly as
// xk_util_strbuf_append_f(sb, "%s%s", ...) would: the same fit test, the same growth steps and,
// when a resize fails, the same cut text left behind.
int append_text(xk_util_strbuf *sb, int64_t len, const char *head, size_t head_len, const char *tail,
                size_t tail_len) {
    int64_t k = static_cast<int64_t>(head_len + tail_len);
    for (;;) {
        int64_t room = sb->capacity - len;
        if (static_cast<int32_t>(room) > k) {
            copy_joined(sb->str + len, static_cast<size_t>(k), head, head_len, tail);
            return static_cast<int>(k);
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

// Appends to a text whose length the caller keeps in *len, and keeps it right: a failed append
// may leave cut text, so the length is measured again then.
int append_fv_tracked(xk_util_strbuf *sb, int64_t *len, const char *format, va_list ap) {
    int n = append_fv_at(sb, *len, format, ap);
    *len = n >= 0 ? *len + n : static_cast<int64_t>(strlen(sb->str));
    return n;
}

int append_f_tracked(xk_util_strbuf *sb, int64_t *len, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    int n = append_fv_tracked(sb, len, format, ap);
    va_end(ap);
    return n;
}

constexpr size_t kBytesPerLine = 16;

// How many of len bytes the buffer's hex_limit lets a dump write.
size_t dump_count(const xk_util_strbuf *sb, size_t len) {
    if (sb->hex_limit < 0) return 0;
    if (sb->hex_limit == 0) return len;
    return len < static_cast<size_t>(sb->hex_limit) ? len : static_cast<size_t>(sb->hex_limit);
}

// Collects the pieces of a dump (each one append of the layout: a separator, a hex pair, a
// text character, a line start) and writes them in batches. A batch whose whole text fits the
// storage is copied at once, which is what its appends would have done one by one; otherwise
// every piece goes through append_text, so growth and a failed growth match piece by piece.
class DumpWriter {
public:
    explicit DumpWriter(xk_util_strbuf *sb) : sb_(sb) {}
    DumpWriter(const DumpWriter &) = delete;
    DumpWriter &operator=(const DumpWriter &) = delete;
    ~DumpWriter() { flush(); }

    void piece(const char *text, size_t n) { add(text, n, "", 0); }
    void line_start(const char *prefix, size_t n) { add("\n", 1, prefix, n); }
    void pair(unsigned char byte) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        char *digits = scratch(2);
        digits[0] = kDigits[byte >> 4];
        digits[1] = kDigits[byte & 0xF];
        add(digits, 2, "", 0);
    }
    void character(unsigned char byte) {
        char *c = scratch(1);
        *c = isprint(byte) ? static_cast<char>(byte) : '.';
        add(c, 1, "", 0);
    }

private:
    struct Piece {
        const char *head;
        size_t head_len;
        const char *tail;  // a line start is "\n" and the prefix in one append; else ""
        size_t tail_len;
    };
    static constexpr size_t kBatch = 64;

    // Flushes first when the batch or its byte store is full, so no pending piece loses its bytes.
    char *scratch(size_t n) {
        if (count_ == kBatch || used_ + n > sizeof bytes_) flush();
        char *at = bytes_ + used_;
        used_ += n;
        return at;
    }
    void add(const char *head, size_t head_len, const char *tail, size_t tail_len) {
        if (count_ == kBatch) flush();
        pieces_[count_++] = Piece{head, head_len, tail, tail_len};
        total_ += head_len + tail_len;
    }
    void flush() {
        if (count_ == 0) return;
        if (len_ < 0 && sb_->str != nullptr) len_ = static_cast<int64_t>(strlen(sb_->str));
        if (len_ >= 0 && static_cast<int32_t>(sb_->capacity - len_) > static_cast<int64_t>(total_)) {
            copy_all(sb_->str + len_);
            len_ += static_cast<int64_t>(total_);
        } else {
            for (size_t i = 0; i < count_; ++i) append_piece(pieces_[i]);
        }
        reset();
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
        int n = append_text(sb_, len_, p.head, p.head_len, p.tail, p.tail_len);
        len_ = n >= 0 ? len_ + n : static_cast<int64_t>(strlen(sb_->str));  // cut text may remain
    }
    void copy_all(char *out) {
        for (size_t i = 0; i < count_; ++i) {
            memcpy(out, pieces_[i].head, pieces_[i].head_len);
            out += pieces_[i].head_len;
            memcpy(out, pieces_[i].tail, pieces_[i].tail_len);
            out += pieces_[i].tail_len;
        }
        *out = '\0';
    }
    void reset() {
        count_ = 0;
        total_ = 0;
        used_ = 0;
    }

    xk_util_strbuf *sb_;
    int64_t len_ = -1;  // the text's length once known
    Piece pieces_[kBatch];
    size_t count_ = 0;
    size_t total_ = 0;
    char bytes_[2 * kBatch];
    size_t used_ = 0;
};

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
    xk_util_strbuf *scratch = xk_util_strbuf_new(sb->capacity);
    if (scratch == nullptr) return 0;  // sb stays exactly as it was
    int needle_len = static_cast<int>(strlen(needle));
    const char *cursor = sb->str != nullptr ? sb->str : "";
    int64_t scratch_len = 0;  // the scratch's text length, kept here rather than measured per append
    int counter = 0;
    int result = 0;
    for (;;) {
        if (max_count != 0 && counter >= max_count) break;
        ++counter;
        const char *found = strstr(cursor, needle);
        if (found == nullptr) break;
        append_f_tracked(scratch, &scratch_len, "%.*s", static_cast<int>(found - cursor), cursor);
        result += append_fv_tracked(scratch, &scratch_len, format, ap);
        cursor = found + needle_len;
        result -= needle_len;
    }
    append_f_tracked(scratch, &scratch_len, "%s", cursor);
    char *old_text = sb->str;
    sb->str = scratch->str;
    sb->capacity = scratch->capacity;
    scratch->str = old_text;
    xk_util_strbuf_free(scratch);
    return result;
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
