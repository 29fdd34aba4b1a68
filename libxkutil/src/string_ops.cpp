// SPDX-License-Identifier: MIT
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "internal/checked.h"
#include "internal/guards.h"
#include "internal/report.h"
#include "string_ops_internal.h"
#include "xk/hex.h"
#include "xk/memory.h"
#include "xk/strings.h"

namespace {
constexpr const char *kSource = "src/string_ops";

// Moves len bytes, sizeof(Word) <= len <= 2 * sizeof(Word), as a head and a tail word that
// overlap: only [from, from + len) is read and [to, to + len) written.
template <typename Word>
void move_ends(char *to, const char *from, size_t len) {
    Word head, tail;
    memcpy(&head, from, sizeof head);
    memcpy(&tail, from + len - sizeof tail, sizeof tail);
    memcpy(to, &head, sizeof head);
    memcpy(to + len - sizeof tail, &tail, sizeof tail);
}

// memcpy without the call for the short strings most joins have. Returns to + len.
char *copy_bytes(char *to, const char *from, size_t len) {
    if (len > 16) return static_cast<char *>(mempcpy(to, from, len));
    if (len >= 8)
        move_ends<uint64_t>(to, from, len);
    else if (len >= 4)
        move_ends<uint32_t>(to, from, len);
    else
        for (size_t i = 0; i < len; ++i) to[i] = from[i];
    return to + len;
}

// The fields of a split under construction: released last first unless handed out.
class FieldArray {
public:
    // text_end: the text's terminator, the last byte a copy may load.
    FieldArray(char **fields, const char *text_end) : fields_(fields), text_end_(text_end) {}
    ~FieldArray() {
        if (fields_ == nullptr) return;
        while (made_ > 0) free(fields_[--made_]);
        free(fields_);
    }
    FieldArray(const FieldArray &) = delete;
    FieldArray &operator=(const FieldArray &) = delete;
    explicit operator bool() const { return fields_ != nullptr; }
    bool add(const char *start, size_t len) {
        // A field shorter than 16 bytes gets a block of 16, the least an allocator hands out
        // anyway, so that one load and one store copy it when the text goes on that far.
        if (len < 16 && text_end_ - start >= 15) {
            char *field = static_cast<char *>(malloc(16));
            if (field == nullptr) return false;
            memcpy(field, start, 16);
            field[len] = '\0';
            fields_[made_++] = field;
            return true;
        }
        size_t size = 0;
        char *field = xk::checked::add(len, size_t{1}, &size) ? static_cast<char *>(malloc(size)) : nullptr;
        if (field == nullptr) return false;
        *copy_bytes(field, start, len) = '\0';
        fields_[made_++] = field;
        return true;
    }
    size_t made() const { return made_; }
    char **release() {
        char **fields = fields_;
        fields_ = nullptr;
        return fields;
    }

private:
    char **fields_;
    const char *text_end_;
    size_t made_ = 0;
};

// The skip step: the start of the next field at or after p, stepping over whole delimiters,
// or NULL when only delimiters remain before end.
const char *next_field(const char *p, const char *end, const char *delim, size_t dl) {
    size_t rest = static_cast<size_t>(end - p);
    size_t offset = 0;
    while (offset + dl <= rest) {
        if (memcmp(p + offset, delim, dl) != 0) return p + offset;
        offset += dl;
    }
    return offset < rest ? p + offset : nullptr;
}

// A join of a few short strings is built here in one pass, terminator included, and copied
// out whole: each string and the separator land with one 16-byte store, which the slack
// after the last byte that counts leaves room for.
constexpr size_t kStagedJoin = 64;
struct StagedJoin {
    char bytes[kStagedJoin + 16];
};

#if defined(__SSE2__)
// Most joined strings are short: one 16-byte load finds their terminator, and the same load,
// stored whole, copies them. The load may read past the terminator, but never into the next
// page, as strlen itself does; the sanitizers are told so.
#define XK_READS_PAST_TERMINATOR __attribute__((no_sanitize_address, no_sanitize_thread))

bool within_page(const char *s) { return (reinterpret_cast<uintptr_t>(s) & 4095) <= 4096 - 16; }

uint32_t terminator_mask(__m128i chunk) {
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_setzero_si128())));
}

XK_READS_PAST_TERMINATOR size_t string_length(const char *s) {
    if (within_page(s)) {
        uint32_t mask = terminator_mask(_mm_loadu_si128(reinterpret_cast<const __m128i *>(s)));
        if (mask != 0) return static_cast<size_t>(__builtin_ctz(mask));
    }
    return strlen(s);
}

// Copies s without its terminator to `to`, writing nothing at or past end; returns the end of the copy.
XK_READS_PAST_TERMINATOR char *copy_string(char *to, const char *s, const char *end) {
    if (!within_page(s)) return copy_bytes(to, s, strlen(s));
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
    uint32_t mask = terminator_mask(chunk);
    if (mask == 0) return copy_bytes(to, s, strlen(s));
    size_t len = static_cast<size_t>(__builtin_ctz(mask));
    if (end - to < 16) return copy_bytes(to, s, len);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to), chunk);
    return to + len;
}

// Stages the join; returns the size built, or 0 when a string is longer than one load or the
// whole would not fit (the caller joins the long way).
XK_READS_PAST_TERMINATOR size_t stage_join(const char **strings, size_t count, const char *sep, size_t sl,
                                           StagedJoin *staged) {
    if (count > kStagedJoin / 2 || sl > 15 || !within_page(sep)) return 0;
    const __m128i separator = _mm_loadu_si128(reinterpret_cast<const __m128i *>(sep));
    size_t used = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(staged->bytes + used), separator);
            used += sl;
        }
        const char *s = strings[i];
        if (used > kStagedJoin || !within_page(s)) return 0;
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
        uint32_t mask = terminator_mask(chunk);
        if (mask == 0) return 0;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(staged->bytes + used), chunk);
        used += static_cast<size_t>(__builtin_ctz(mask));
        if (used > kStagedJoin) return 0;
    }
    staged->bytes[used] = '\0';
    return used + 1;
}
#else
size_t string_length(const char *s) { return strlen(s); }
char *copy_string(char *to, const char *s, const char *) { return copy_bytes(to, s, strlen(s)); }

size_t stage_join(const char **, size_t, const char *, size_t, StagedJoin *) { return 0; }  // the long way
#endif

// The size of the join with its terminator, summed in a local: the string loads may alias
// the caller's size, which would put a store and a reload of it on every step. False when it
// wraps, with *size holding the sum so far.
bool joined_size(const char **strings, size_t count, size_t sl, size_t *size) {
    size_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!xk::checked::add(sum, string_length(strings[i]), &sum) ||
            !xk::checked::add(sum, i + 1 == count ? size_t{1} : sl, &sum)) {
            *size = sum;
            return false;
        }
    }
    *size = sum;
    return true;
}

// Writes every byte of the size joined_size gave, the terminator last.
void copy_joined(char *joined, size_t size, const char **strings, size_t count, const char *sep, size_t sl) {
    const char *end = joined + size;
    char *p = copy_string(joined, strings[0], end);
    for (size_t i = 1; i < count; ++i) {
        p = sl == 1 ? (*p = sep[0], p + 1) : copy_bytes(p, sep, sl);
        p = copy_string(p, strings[i], end);
    }
    *p = '\0';
}

// Bit j set where p[j] is the delimiter, for the 64 bytes at p.
uint64_t delimiter_mask(const char *p, char delim) {
#if defined(__SSE2__)
    const __m128i d = _mm_set1_epi8(delim);
    uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
        mask |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, d))))
                << (16 * k);
    }
    return mask;
#else
    uint64_t mask = 0;
    for (int j = 0; j < 64; ++j) mask |= static_cast<uint64_t>(p[j] == delim) << j;
    return mask;
#endif
}

// How many of the len bytes at p are c.
size_t count_char(const char *p, size_t len, char c) {
    size_t count = 0, i = 0;
#if defined(__SSE2__)
    // Each lane counts down by one per match, summed across lanes before it can wrap.
    const __m128i d = _mm_set1_epi8(c);
    while (i + 16 <= len) {
        size_t stop = i + 255 * 16 < len ? i + 255 * 16 : len;
        __m128i lanes = _mm_setzero_si128();
        for (; i + 16 <= stop; i += 16)
            lanes = _mm_sub_epi8(
                lanes, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i)), d));
        __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<size_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
    }
#else
    for (; i + 64 <= len; i += 64)
        count += static_cast<size_t>(__builtin_popcountll(delimiter_mask(p + i, c)));
#endif
    for (; i < len; ++i) count += p[i] == c;
    return count;
}

// The fields of a one-character delimiter are the runs of other characters: the same fields as
// the general walk finds, found 64 bytes at a time from the positions of the delimiter.
template <typename Visit>
bool for_each_field_of_char(const char *text, char delim, Visit visit) {
    size_t len = strlen(text);
    size_t field_start = 0;
    auto at_delimiter = [&](size_t pos) {
        bool go_on = pos == field_start || visit(text + field_start, pos - field_start);
        field_start = pos + 1;
        return go_on;
    };
    size_t i = 0;
    for (; i + 64 <= len; i += 64)
        for (uint64_t mask = delimiter_mask(text + i, delim); mask != 0; mask &= mask - 1)
            if (!at_delimiter(i + static_cast<size_t>(__builtin_ctzll(mask)))) return false;
    for (; i < len; ++i)
        if (text[i] == delim && !at_delimiter(i)) return false;
    return field_start >= len || visit(text + field_start, len - field_start);
}

// Visits each field of text as (start, length) until visit returns false; false if it did.
template <typename Visit>
bool for_each_field(const char *text, const char *delim, Visit visit) {
    if (delim[0] != '\0' && delim[1] == '\0') return for_each_field_of_char(text, delim[0], visit);
    size_t dl = strlen(delim);
    const char *end = text + strlen(text);
    // An empty delimiter cannot advance the skip step: the whole text is one field.
    if (dl == 0) return text == end || visit(text, static_cast<size_t>(end - text));
    const char *p = text;
    for (;;) {
        const char *start = next_field(p, end, delim, dl);
        if (start == nullptr) return true;
        p = strstr(start, delim);
        const char *field_end = p != nullptr ? p : end;
        if (!visit(start, static_cast<size_t>(field_end - start))) return false;
        if (p == nullptr) return true;
    }
}

size_t count_fields(const char *text, const char *delim) {
    size_t count = 0;
    for_each_field(text, delim, [&count](const char *, size_t) { return ++count, true; });
    return count;
}

// Room enough for the fields of the len bytes of text, without walking them: for a one-character
// delimiter one more than the delimiters, or none when the text is nothing else; otherwise the
// count itself.
size_t field_bound(const char *text, size_t len, const char *delim) {
    if (delim[0] == '\0' || delim[1] != '\0') return count_fields(text, delim);
    size_t delims = count_char(text, len, delim[0]);
    return delims == len ? 0 : delims + 1;
}

// Decoded value of every character: 0-15 for a hex digit of either case, 0x10 for anything else.
struct NibbleTable {
    uint8_t value[256];
};

constexpr uint8_t kNotHex = 0x10;

constexpr NibbleTable make_nibble_table() {
    NibbleTable table{};
    for (int c = 0; c < 256; ++c) table.value[c] = kNotHex;
    for (int d = 0; d < 10; ++d) table.value['0' + d] = static_cast<uint8_t>(d);
    for (int d = 0; d < 6; ++d) {
        table.value['a' + d] = static_cast<uint8_t>(10 + d);
        table.value['A' + d] = static_cast<uint8_t>(10 + d);
    }
    return table;
}

constexpr NibbleTable kNibbles = make_nibble_table();

// A pair that is not two hex digits reads as far as its leading digits go, as a two-digit
// hex scan would: one leading digit gives its own value, none gives 0.
uint8_t decode_pair(unsigned char high, unsigned char low) {
    uint8_t h = kNibbles.value[high];
    uint8_t l = kNibbles.value[low];
    if (((h | l) & kNotHex) == 0) return static_cast<uint8_t>(h << 4 | l);
    return (h & kNotHex) == 0 ? h : 0;
}

}  // namespace

extern "C" {

xk_util_status xk_util_str_replace(char *s, size_t max_len, char from, char to) {
    if (s == nullptr) return XK_OK;
    for (size_t i = 0; i < max_len && s[i] != '\0'; ++i) {
        if (s[i] == from) s[i] = to;
    }
    return XK_OK;
}

xk_util_status xk_util_split(const char *text, const char *delim, char ***fields_out, size_t *count_out) {
    using namespace xk;
    if (text == nullptr || delim == nullptr || fields_out == nullptr || count_out == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NULL_ARG,
                             "NULL argument detected: %p %p %p %p", text, delim, fields_out, count_out);
    const size_t len = strlen(text);
    size_t room = field_bound(text, len, delim);
    *count_out = room;
    *fields_out = nullptr;
    if (room == 0) return XK_OK;
    // Every entry handed out is written first, so the array needs no zero fill.
    size_t array_size = 0;
    FieldArray fields(
        checked::mul(room, sizeof(char *), &array_size) ? static_cast<char **>(malloc(array_size)) : nullptr,
        text + len);
    if (!fields) {
        *count_out = count_fields(text, delim);
        return report::error(__func__, kSource, __LINE__, XK_ERR_NOMEM, "Memory allocation failed");
    }
    if (!for_each_field(text, delim,
                        [&fields](const char *start, size_t len) { return fields.add(start, len); })) {
        *count_out = count_fields(text, delim);
        return report::error(__func__, kSource, __LINE__, XK_ERR_NOMEM, "Failed to allocate memory");
    }
    *count_out = fields.made();
    *fields_out = fields.release();
    return XK_OK;
}

xk_util_status xk_util_join(const char **strings, size_t count, const char *sep, char **out,
                            size_t *size_out) {
    using namespace xk;
    if (strings == nullptr || sep == nullptr || out == nullptr || size_out == nullptr || count == 0)
        return report::null_arg(__func__, kSource, __LINE__);
    size_t sl = string_length(sep);
    StagedJoin staged;
    const size_t staged_size = stage_join(strings, count, sep, sl, &staged);
    size_t size = staged_size;
    if (staged_size == 0 && !joined_size(strings, count, sl, &size)) {
        *size_out = size;
        return report::trace(__func__, kSource, __LINE__, XK_ERR_OVERFLOW);
    }
    *size_out = size;
    char *joined = static_cast<char *>(malloc(size));
    *out = joined;
    if (joined == nullptr) return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
    if (staged_size != 0)
        memcpy(joined, staged.bytes, size);
    else
        copy_joined(joined, size, strings, count, sep, sl);
    return XK_OK;
}

xk_util_status xk_util_append_string(char **str, size_t *len, const char *add, size_t add_len) {
    using namespace xk;
    if (str == nullptr || len == nullptr || add == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    if (add_len == 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    if (*str != nullptr && *len == 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    if (*str == nullptr) {
        char *copy = xk_util_strndup(add, add_len);
        if (copy == nullptr) return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
        *str = copy;
        *len = add_len;
        return XK_OK;
    }
    // The new block also needs a byte for the terminator, so a sum of exactly SIZE_MAX overflows too.
    size_t size = 0;
    if (!checked::add3(*len, add_len, size_t{1}, &size))
        return report::trace(__func__, kSource, __LINE__, XK_ERR_OVERFLOW);
    char *joined = static_cast<char *>(malloc(size));
    if (joined == nullptr) return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
    memcpy(joined, *str, *len);
    memcpy(joined + *len, add, add_len);
    joined[*len + add_len] = '\0';
    free(*str);
    *str = joined;
    *len += add_len;
    return XK_OK;
}

xk_util_status xk_util_sprintf_bytes(const uint8_t *data, size_t len, char **out) {
    using namespace xk;
    size_t size = 0;
    // No block can hold the text of more than SIZE_MAX / 2 bytes; such a length fails as an allocation.
    char *text =
        checked::mul_add(len, size_t{2}, size_t{1}, &size) ? static_cast<char *>(malloc(size)) : nullptr;
    *out = text;
    if (text == nullptr) return report::error(__func__, kSource, __LINE__, XK_ERR_NOMEM, "Allocation failed");
    hex::write_pairs(text, data, len);
    text[2 * len] = '\0';
    return XK_OK;
}

xk_util_status xk_util_sscanf_bytes(const char *hex, size_t hex_len, uint8_t **out) {
    using namespace xk;
    size_t n = hex_len / 2;  // hex_len is the caller's promise of readable text; nothing to check
    uint8_t *bytes = static_cast<uint8_t *>(malloc(n));
    *out = bytes;
    // A zero-byte request may come back NULL with nothing wrong: that is an empty result.
    if (bytes == nullptr && n != 0)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NOMEM, "Allocation failed");
    const unsigned char *digits = reinterpret_cast<const unsigned char *>(hex);
    // Blocks of plain digit pairs take the vector road; a block holding anything else is read
    // pair by pair, and the vector road takes over again after it.
    for (size_t i = 0; i < n;) {
        i += hex::decode_blocks(bytes + i, digits + 2 * i, n - i);
        for (size_t block_end = i + 16 < n ? i + 16 : n; i < block_end; ++i)
            bytes[i] = decode_pair(digits[2 * i], digits[2 * i + 1]);
    }
    return XK_OK;
}

}  // extern "C"
