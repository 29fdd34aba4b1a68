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

constexpr size_t kBytesPerLine = 16;
// 16 pairs, 14 single spaces, " - ", " : " and 16 text characters, and a terminator.
constexpr size_t kLineBodySize = 2 * kBytesPerLine + 14 + 3 + 3 + kBytesPerLine + 1;

// How many of len bytes the buffer's hex_limit lets a dump write.
size_t dump_count(const xk_util_strbuf *sb, size_t len) {
    if (sb->hex_limit < 0) return 0;
    if (sb->hex_limit == 0) return len;
    return len < static_cast<size_t>(sb->hex_limit) ? len : static_cast<size_t>(sb->hex_limit);
}

// One dump line without its prefix: the hex pairs ("%02X", a space between pairs and " - "
// after the eighth), " : " and the bytes as text, non-printable ones as a full stop.
void format_dump_line(char *body, const unsigned char *bytes, size_t n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char *out = body;
    for (size_t j = 0; j < n; ++j) {
        if (j == 8) {
            memcpy(out, " - ", 3);
            out += 3;
        } else if (j != 0) {
            *out++ = ' ';
        }
        *out++ = kDigits[bytes[j] >> 4];
        *out++ = kDigits[bytes[j] & 0xF];
    }
    memcpy(out, " : ", 3);
    out += 3;
    for (size_t j = 0; j < n; ++j) *out++ = isprint(bytes[j]) ? static_cast<char>(bytes[j]) : '.';
    *out = '\0';
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
    int64_t capacity = sb->capacity;
    int64_t len = static_cast<int64_t>(strlen(sb->str));
    for (;;) {
        int64_t room = capacity - len;
        // A record whose capacity a caller set below its text gets no room rather than a wrapped size.
        int n = xk::format_fill(sb->str + len, static_cast<size_t>(room > 0 ? room : 0), format, ap);
        if (n >= 0 && static_cast<int32_t>(room) > n) return n;
        int64_t new_capacity = n == -1 ? 2 * capacity : n + len + kGrowthSlack;
        // The capacity field is 32 bits wide: a size it cannot hold, or one that would not hold the
        // text, counts as a failed resize.
        char *grown = new_capacity > len && new_capacity <= INT32_MAX
                          ? static_cast<char *>(realloc(sb->str, static_cast<size_t>(new_capacity)))
                          : nullptr;
        if (grown == nullptr) {
            xk::report::log_error(kAppendName, "Could not realloc strbuf to %ld",
                                  static_cast<long>(new_capacity));
            xk::report::log_error(kAppendName, "Error in strbuf");
            return -1;
        }
        sb->str = grown;
        sb->capacity = static_cast<int32_t>(new_capacity);
        capacity = new_capacity;
        memset(grown + len, 0, static_cast<size_t>(capacity - len));
    }
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

// Each line is formatted on the stack and appended whole, so a dump costs one append per line
// instead of several per byte; the text is the same.
void xk_util_strbuf_hexdump(xk_util_strbuf *sb, const char *prefix, const void *data, size_t len) {
    if (sb == nullptr || data == nullptr || len == 0) return;
    if (prefix == nullptr) prefix = "    ";
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    size_t count = dump_count(sb, len);
    char body[kLineBodySize];
    for (size_t start = 0; start < count; start += kBytesPerLine) {
        size_t n = count - start < kBytesPerLine ? count - start : kBytesPerLine;
        format_dump_line(body, bytes + start, n);
        xk_util_strbuf_append_f(sb, start == 0 ? "%s%s" : "\n%s%s", prefix, body);
    }
    xk_util_strbuf_append_f(sb, "\n");
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
    int counter = 0;
    int result = 0;
    for (;;) {
        if (max_count != 0 && counter >= max_count) break;
        ++counter;
        const char *found = strstr(cursor, needle);
        if (found == nullptr) break;
        xk_util_strbuf_append_f(scratch, "%.*s", static_cast<int>(found - cursor), cursor);
        result += xk_util_strbuf_append_fv(scratch, format, ap);
        cursor = found + needle_len;
        result -= needle_len;
    }
    xk_util_strbuf_append_f(scratch, "%s", cursor);
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
