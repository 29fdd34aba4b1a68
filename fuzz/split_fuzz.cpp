// Split against a reference splitter written from the rules (whole-string delimiter, skip step in
// delimiter-sized steps, no empty fields), and join of the fields with the same delimiter.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "xk/errortrace.h"
#include "xk/log.h"
#include "xk/strings.h"

namespace {
void quiet_sink(void *, int, int, const char *, const char *, int, const char *) {}

std::vector<std::string> reference_split(const std::string &text, const std::string &delim) {
    std::vector<std::string> fields;
    size_t dl = delim.size();
    if (dl == 0) {  // the library's choice: the whole text is one field
        if (!text.empty()) fields.push_back(text);
        return fields;
    }
    size_t p = 0;
    for (;;) {
        size_t rest = text.size() - p;
        size_t offset = 0;
        while (offset + dl <= rest && text.compare(p + offset, dl, delim) == 0) offset += dl;
        if (offset >= rest) return fields;
        size_t start = p + offset;
        size_t next = text.find(delim, start);
        fields.push_back(text.substr(start, next == std::string::npos ? std::string::npos : next - start));
        if (next == std::string::npos) return fields;
        p = next;
    }
}

// An exactly-sized copy of s with its terminator, so any overread lands outside the block.
char *exact_copy(const std::string &s) {
    char *block = static_cast<char *>(malloc(s.size() + 1));
    memcpy(block, s.c_str(), s.size() + 1);
    return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    xk_log_set_sink(quiet_sink, nullptr);
    if (size < 1) return 0;
    // First byte: delimiter length 0-3; then the delimiter; the rest is the text. Both end at a zero byte.
    size_t dl = data[0] % 4;
    if (dl > size - 1) return 0;
    std::string delim(reinterpret_cast<const char *>(data + 1), dl);
    std::string text(reinterpret_cast<const char *>(data + 1 + dl), size - 1 - dl);
    delim.resize(strlen(delim.c_str()));
    text.resize(strlen(text.c_str()));

    char *text_block = exact_copy(text);
    char *delim_block = exact_copy(delim);
    char **fields = nullptr;
    size_t count = 0;
    if (xk_util_split(text_block, delim_block, &fields, &count) != XK_OK) __builtin_trap();
    std::vector<std::string> expect = reference_split(text, delim);
    if (count != expect.size()) __builtin_trap();
    if ((count == 0) != (fields == nullptr)) __builtin_trap();
    for (size_t i = 0; i < count; ++i)
        if (expect[i] != fields[i]) __builtin_trap();

    if (count > 0) {
        char *joined = nullptr;
        size_t joined_size = 0;
        if (xk_util_join(const_cast<const char **>(fields), count, delim_block, &joined, &joined_size) !=
            XK_OK)
            __builtin_trap();
        std::string expect_joined = expect[0];
        for (size_t i = 1; i < count; ++i) expect_joined += delim + expect[i];
        if (joined_size != expect_joined.size() + 1 || expect_joined != joined) __builtin_trap();
        // With a one-character delimiter the join gives the text back exactly when the text has no
        // leading, trailing or doubled delimiter.
        if (delim.size() == 1) {
            char d = delim[0];
            bool plain =
                text.front() != d && text.back() != d && text.find(delim + delim) == std::string::npos;
            if (plain != (text == joined)) __builtin_trap();
        }
        free(joined);
    }
    for (size_t i = 0; i < count; ++i) free(fields[i]);
    free(fields);
    free(text_block);
    free(delim_block);
    xk_trace_clear();
    return 0;
}
