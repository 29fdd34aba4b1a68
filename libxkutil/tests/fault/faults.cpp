// The failure table and its driver: one row per (operation, failure kind), one pattern per failure
// point. The driver fails each point of a row in turn; every run must leave no block or descriptor
// behind and show its caller what the row lists. The failures delivered are tallied per row group.
#include <fcntl.h>
#include <fnmatch.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <sstream>

#include "fault/seam.h"
#include "internal/pid_file.h"
#include "internal/process.h"
#include "internal/timeout.h"
#include "support/capture.h"
#include "support/hexdump_reference.h"
#include "xk/xkutil.h"

// The operations set up and read back past the seam, so that only the library's calls count.
extern "C" int __real_sigaction(int, const struct sigaction *, struct sigaction *);
extern "C" off_t __real_lseek(int, off_t, int);
extern "C" int __real_fclose(FILE *);

namespace xk::fault {
namespace {

using C = Call;
constexpr Call kAlloc = Call::malloc_family;
constexpr uint32_t kFailed = 1;  // a call that returns a plain value handed back its failure value
const char kSrc[] = "one\ntwo\nthree\n";
std::map<std::string, std::array<long, 2>> g_tally;  // per row group: allocations, system calls

// What a run showed its caller. `point`, when set, names the listed point the run met.
struct Seen {
    uint32_t status;
    std::string out;
    int point = -1;
};

struct Row;

// One run of a row: the operation arms the row's failure around the library calls with run().
struct Ctx {
    const Row &row;
    long n;
    const std::string &dir;
    xk::test::Capture &capture;
    bool injected = false;
    template <typename Calls>
    auto run(Calls calls);
    std::string path(const char *name) const { return dir + "/" + name; }
};

// A point is an fnmatch pattern for "<status> <outputs>", then " < " and the functions that
// traced, innermost first (":<status>" after one whose status differs from the one returned),
// then " : " and the log lines joined by " | " (" @<file>" after a line that names its source
// file, " L<level>" after one not at level 3). The scratch directory is written {D}.
struct Row {
    const char *group;
    Call call;
    int err;
    std::function<Seen(Ctx &)> op;
    std::string ok;                   // the run that meets no failure
    std::vector<std::string> points;  // point n meets points[min(n, last)] unless the run names one
    long count = 0;                   // points met: 0 as many as listed, -1 at least that many
};

template <typename Calls>
auto Ctx::run(Calls calls) {
    capture.clear();
    arm(row.call, n, row.err);
    auto result = calls();
    injected = fired(row.call);
    disarm_all();
    if (injected) ++g_tally[row.group][row.call == kAlloc ? 0 : 1];
    return result;
}

template <typename T>
T *unset() {  // an out-pointer's value before the call, to tell "left alone" from "cleared"
    return reinterpret_cast<T *>(1);
}

// "unset", "null", or the block's text ("set" for a length of 0), after which it is freed.
template <typename T>
std::string take(T *p, size_t len = std::string::npos) {
    if (p == unset<T>() || p == nullptr) return p == nullptr ? "null" : "unset";
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(p);
    std::string out = len == 0 ? "set" : "";
    for (size_t i = 0; len == std::string::npos ? bytes[i] != 0 : i < len; ++i) {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\x%02x", bytes[i]);
        out += bytes[i] == '\n' || (bytes[i] >= 0x20 && bytes[i] < 0x7f) ? std::string(1, bytes[i]) : escaped;
    }
    free(p);
    return out;
}

template <typename... Values>
std::string show(const Values &...values) {  // the values joined by single spaces
    std::ostringstream o;
    const char *sep = "";
    ((o << sep << values, sep = " "), ...);
    return o.str();
}

uint32_t failed_if(bool failed) { return failed ? kFailed : XK_OK; }

// Calls made in turn: the first failure's status and outputs, or XK_OK and every call's outputs.
// Each call's outputs are read (and its blocks freed) whatever its status.
struct Steps {
    Seen seen{XK_OK, ""};
    template <typename Out>
    Steps &operator()(uint32_t st, Out out) {
        std::string text = out();
        if (seen.status == XK_OK) seen = {st, st == XK_OK && !seen.out.empty() ? seen.out + " " + text : text};
        return *this;
    }
};

// "none" for a missing file, "src" for the scratch file's first content.
std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string text = in ? std::string(std::istreambuf_iterator<char>(in), {}) : "none";
    return text == kSrc ? "src" : text;
}

// The start of our own command line, no longer than the longest program name a pid-file check takes.
std::string own_name() { return read_text("/proc/self/cmdline").substr(0, 100).c_str(); }

char kShell[] = "/bin/sh", kDashC[] = "-c", kExit3[] = "exit 3";
char *const kArgv[] = {kShell, kDashC, kExit3, nullptr}, *const kEnvp[] = {nullptr};

void *make_int() { return calloc(1, sizeof(int)); }
void *copy_int(const void *from) { return xk_util_memdup(from, sizeof(int)); }

// Appends (0 attach, 1 add, 2 new) to `count` elements 0, 1, ... that fill the slots: a failed
// append leaves the slots exactly as they were, and the elements keep their values either way.
std::function<Seen(Ctx &)> append_to(int32_t growth, int32_t count, int kind) {
    return [=](Ctx &c) {
        xk_collection *col = xk_collection_new("numbers", make_int, copy_int, free);
        xk_collection_set_growth(col, growth);
        for (int32_t i = 0; i < count; ++i) *static_cast<int *>(xk_collection_element_new(col)) = i;
        auto slots = [&] { return std::vector<void *>(col->elements, col->elements + col->capacity); };
        std::vector<void *> before = slots();
        int value = 42, *mine = static_cast<int *>(make_int());
        bool ok = c.run([&] {
            if (kind == 0) return xk_collection_element_attach(col, mine);
            return kind == 1 ? xk_collection_element_add(col, &value) : xk_collection_element_new(col) != nullptr;
        });
        std::string out = slots() == before && col->count == count ? "as it was" : show("grew", col->count - count);
        for (int32_t i = 0; i < count; ++i) out += *static_cast<int *>(col->elements[i]) == i ? "" : " lost";
        if (!ok || kind != 0) free(mine);
        xk_collection_free(col);
        return Seen{failed_if(!ok), out};
    };
}

// Claims the pid file holding `content` (our pid for "self"; no file for NULL) under our own
// name; shows the pid handed back, the file afterwards and whether its lock was given back.
std::function<Seen(Ctx &)> claim(const char *content) {
    return [=](Ctx &c) {
        const std::string path = c.path("run.pid"), self = std::to_string(getpid()), name = own_name();
        std::filesystem::remove(path);
        if (content != nullptr) std::ofstream(path) << (strcmp(content, "self") == 0 ? self : content);
        unsigned int pid = 7;
        xk_util_status st = c.run([&] { return xk_util_claim_pid_file(path.c_str(), name.c_str(), &pid); });
        std::string text = read_text(path);
        int fd = ::open(path.c_str(), O_RDONLY);
        bool unlocked = fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0) close(fd);
        return Seen{st, show(std::to_string(pid) == self ? "self" : std::to_string(pid), text == self ? "self" : text,
                             unlocked ? "unlocked" : "locked")};
    };
}

xk_util_strbuf buffer_with(const char *text, int32_t capacity, int32_t hex_limit = 256) {
    xk_util_strbuf sb{static_cast<char *>(calloc(static_cast<size_t>(capacity), 1)), capacity, hex_limit};
    return strcpy(sb.str, text), sb;
}

// The appends log under the append's own name.
std::string funcs(Ctx &c) {
    std::string out;
    for (const auto &l : c.capture.lines()) out += l.func == "xk_util_strbuf_append_fv" ? "" : " from " + l.func;
    return out;
}
std::string shown(Ctx &c, xk_util_strbuf &sb) { return show(sb.capacity, take(sb.str)) + funcs(c); }

struct sigaction disposition(int sig, const struct sigaction *set = nullptr) {
    struct sigaction now {};
    return __real_sigaction(sig, set, &now), now;
}
bool ignored(int sig) { return disposition(sig).sa_handler == SIG_IGN; }
void all_default() {
    struct sigaction dfl {};
    for (int sig = 1; sig < 32; ++sig) disposition(sig, &dfl);  // SIG_DFL is 0
}

std::vector<Row> rows();
void PrintTo(const Row &row, std::ostream *out) { *out << row.group; }

// --- the driver ---

bool matches(const std::string &pattern, const std::string &text) {
    return fnmatch(pattern.c_str(), text.c_str(), FNM_NOESCAPE) == 0;
}

std::string status_name(uint32_t status) {
    const std::map<uint32_t, const char *> names = {
        {XK_OK, "OK"},          {kFailed, "FAILED"},   {XK_ERR_NOMEM, "NOMEM"},         {XK_ERR_SYSTEM, "SYSTEM"},
        {XK_ERR_READ, "READ"},  {XK_ERR_ACCESS, "ACCESS"}, {XK_ERR_NOT_FOUND, "NOT_FOUND"},
        {XK_ERR_ALREADY_RUNNING, "RUNNING"}};
    return names.count(status) ? names.at(status) : std::to_string(status);
}

// The run as the table writes it.
std::string observed(const Seen &seen, const xk::test::Capture &capture, const std::string &dir) {
    std::string text = seen.out.empty() ? status_name(seen.status) : show(status_name(seen.status), seen.out);
    const char *sep = " < ";
    for (const auto &r : capture.traces()) {
        text += sep + r.func + (r.status == seen.status ? "" : ":" + status_name(r.status));
        sep = " ";
    }
    sep = " : ";
    for (const auto &l : capture.lines()) {
        EXPECT_EQ(l.flags, 128) << l.text;
        EXPECT_EQ(l.file.empty(), l.line == 0) << l.text;  // a source file comes with its line
        text += sep + l.text + (l.file.empty() ? "" : " @" + l.file) + (l.level == 3 ? "" : " L" + std::to_string(l.level));
        sep = " | ";
    }
    for (size_t at; (at = text.find(dir)) != std::string::npos;) text.replace(at, dir.size(), "{D}");
    return text;
}

class Faults : public xk::test::ReportingTest, public ::testing::WithParamInterface<Row> {
protected:
    std::string dir;
    struct sigaction saved[32];

    void SetUp() override {
        char pattern[] = "/tmp/xkutil-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        for (const char *name : {"A", "b"}) std::ofstream(dir + "/" + name);
        std::ofstream(dir + "/src.txt") << kSrc;
        for (int sig = 1; sig < 32; ++sig) saved[sig] = disposition(sig);
    }
    void TearDown() override {
        for (int sig = 1; sig < 32; ++sig) disposition(sig, &saved[sig]);
        std::filesystem::remove_all(dir);
    }

    // Fails point 0, 1, 2, ... until a run meets none; returns how many were met and marks
    // which listed points were.
    long drive(const Row &row, std::vector<int> &met) {
        for (long n = 0;; ++n) {
            SCOPED_TRACE(testing::Message() << "failure point " << n);
            size_t blocks = live_blocks();
            int fds = open_descriptors();
            Ctx ctx{row, n, dir, capture};
            Seen seen = row.op(ctx);
            EXPECT_EQ(live_blocks(), blocks) << "blocks leaked";
            EXPECT_EQ(open_descriptors(), fds) << "descriptors leaked";
            long last = static_cast<long>(row.points.size()) - 1;
            size_t point = static_cast<size_t>(std::min(seen.point >= 0 ? seen.point : n, last));
            if (ctx.injected) ++met[point];
            EXPECT_PRED2(matches, ctx.injected ? row.points[point] : row.ok, observed(seen, capture, dir));
            if (!ctx.injected || HasFailure()) return n;
        }
    }
};

TEST_P(Faults, EachPointInTurn) {
    const Row &row = GetParam();
    const long listed = static_cast<long>(row.points.size());
    // Points named by the operation may move between runs as other processes come and go:
    // the row is driven again until each listed one has been met.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::vector<int> met(row.points.size());
        long points = drive(row, met);
        if (HasFailure()) return;
        EXPECT_TRUE(row.count < 0 ? points >= listed : points == (row.count > 0 ? row.count : listed)) << points;
        if (std::count(met.begin(), met.end(), 0) == 0) return;
    }
    ADD_FAILURE() << "a listed failure point was never met";
}

INSTANTIATE_TEST_SUITE_P(Table, Faults, ::testing::ValuesIn(rows()), [](const auto &info) {
    return std::string(info.param.group) + "_" + std::to_string(info.index);
});

class PrintTally : public ::testing::Environment {
    void TearDown() override {
        std::array<long, 2> all{};
        printf("\nInjected failures per row group:\n");
        for (const auto &[group, counts] : g_tally) {
            printf("  %s: %ld allocation, %ld system-call failures\n", group.c_str(), counts[0], counts[1]);
            all = {all[0] + counts[0], all[1] + counts[1]};
        }
        printf("  in all: %ld allocation, %ld system-call failures\n", all[0], all[1]);
    }
};
const auto *const kTally = ::testing::AddGlobalTestEnvironment(new PrintTally);

// --- the table ---

std::vector<Row> rows() {
    // --- formatting, text, encodings ---
    auto format = [](Ctx &c) {
        char *out = unset<char>(), buf[8], *a, *b, *d;
        int err = -1, n = 0;
        return c.run([&] {
            Steps s;
            s(xk_util_asprintf(&out, &err, "%s-%d", "pid", 42), [&] { return show(take(out), err); });
            s(failed_if((n = xk_util_snprintf(buf, sizeof buf, "%d", 1)) < 0), [&] { return show(n); });
            s(failed_if(!(a = xk_util_strndup("abcdef", 3))), [&] { return take(a); });
            s(failed_if(!(b = static_cast<char *>(xk_util_memdup("xyz", 3)))), [&] { return take(b, 3); });
            return s(failed_if(!(d = static_cast<char *>(xk_util_memdup0("xyz", 3)))), [&] { return take(d); }).seen;
        });
    };
    auto strbuf = [](Ctx &c) {  // a new record, a dump that must grow its buffer, an append to no storage
        xk_util_strbuf *sb, full = buffer_with("", 8), none{};
        const std::string text(200, 'x');
        return c.run([&] {
            Steps s;
            s(failed_if(!(sb = xk_util_strbuf_new(0))), [&] { return sb ? show(sb->capacity) : "null"; });
            xk_util_strbuf_free(sb);
            xk_util_strbuf_hexdump(&full, "P", "ABCDEFGHIJKLMNOPQRST", 20);
            s(failed_if(strlen(full.str) != 90), [&] { return shown(c, full); });
            int n = xk_util_strbuf_append_f(&none, "%s", text.c_str());
            std::string kept = none.str == nullptr ? "null" : none.str == text ? "all" : show(strlen(none.str));
            free(none.str);
            return s(failed_if(n < 0), [&] { return show(n, none.capacity, kept) + funcs(c); }).seen;
        });
    };
    auto hexdump = [](Ctx &c) {  // with any one growth failing, the dump leaves what its appends one by one would
        unsigned char data[96];
        for (int i = 0; i < 96; ++i) data[i] = static_cast<unsigned char>(0x20 + i);
        xk_util_strbuf sb[2] = {buffer_with("", 8), buffer_with("", 8)};
        auto dump = [&](xk_util_strbuf &b, auto how) {
            how(&b, "P", data, sizeof data);
            std::string out = shown(c, b);
            for (const auto &l : c.capture.lines()) out += "|" + l.text;
            return out;
        };
        std::string ours = c.run([&] { return dump(sb[0], xk_util_strbuf_hexdump); });
        bool injected = c.injected;
        std::string theirs = c.run([&] { return dump(sb[1], xk::test::reference_hexdump); });
        return Seen{failed_if(injected), ours == theirs && injected == c.injected ? "same" : ours + "\n" + theirs};
    };
    // The scratch starts at the buffer's capacity of 8, so the first ten-character replacement
    // makes it grow to 10 + 1 + 128; the record or its storage failing changes nothing.
    auto substitute = [](Ctx &c) {
        xk_util_strbuf sb = buffer_with("a$Xb$X", 8, 77);
        char *before = sb.str;
        int n = c.run([&] { return xk_util_strbuf_substitute(&sb, "$X", 0, "%s", "0123456789"); });
        return Seen{failed_if(n != 16), show(n, sb.hex_limit, sb.str == before ? "same" : "moved", shown(c, sb))};
    };
    auto bytes = [](Ctx &c) {  // hex text, wide text, bit strings, sums
        const uint8_t bytes[] = {0x00, 0xAB, 0x7F};
        char *text = unset<char>();
        uint8_t *decoded = unset<uint8_t>(), *bits = unset<uint8_t>(), *expanded = unset<uint8_t>();
        wchar_t *wide = unset<wchar_t>();
        size_t wide_len = 0, bits_len = 0, expanded_len = 0;
        xk_util_sum sum{3, 1, reinterpret_cast<double *>(8), 2.5, 7.5};
        return c.run([&] {
            Steps s;
            s(xk_util_sprintf_bytes(bytes, 3, &text), [&] { return take(text); });
            s(xk_util_sscanf_bytes("00AB7f", 6, &decoded), [&] { return take(decoded, 3); });
            s(xk_util_char_to_wchar("abc", 99, &wide, &wide_len), [&] { return show(take(wide, 12), wide_len); });
            s(xk_util_map_bitstring_to_bytes(bytes + 1, 2, &bits, &bits_len), [&] { return show(take(bits, 0), bits_len); });
            s(xk_util_expand_byte_array(bytes + 1, 2, 3, &expanded, &expanded_len),
              [&] { return show(take(expanded, 0), expanded_len); });
            xk_util_status st = xk_util_sum_init(&sum, 4);
            std::string buckets = sum.buckets == nullptr ? "null" : "set";
            if (st == XK_OK) xk_util_sum_free(&sum);
            return s(st, [&] { return show(buckets, sum.n, sum.pos, sum.window, sum.total); }).seen;
        });
    };
    // Split, join, append and base64 are kept apart: how many blocks each takes is their own affair.
    auto split = [](Ctx &c) {
        char **fields = unset<char *>();
        size_t count = 0;
        xk_util_status st = c.run([&] { return xk_util_split("a,,bc,d,", ",", &fields, &count); });
        std::string out = show(st != XK_OK ? take(fields, 0) : fields[1], count);
        for (size_t i = 0; st == XK_OK && i <= count; ++i) free(i < count ? static_cast<void *>(fields[i]) : fields);
        return Seen{st, out};
    };
    auto join = [](Ctx &c) {  // the caller's text and length stay as the failed append found them
        const char *strings[] = {"a", "b", "c"};
        char *joined = unset<char>(), *str = nullptr;
        size_t size = 0, len = 0;
        return c.run([&] {
            Steps s;
            s(xk_util_join(strings, 3, ", ", &joined, &size), [&] { return show(take(joined), size); });
            s(xk_util_append_string(&str, &len, "abc", 3), [&] { return show(str ? str : "null", len); });
            return s(xk_util_append_string(&str, &len, "de", 2), [&] { return show(take(str), len); }).seen;
        });
    };
    auto base64 = [](Ctx &c) {
        char *text = unset<char>();
        uint8_t *bytes = unset<uint8_t>();
        size_t text_len = 0, len = 0;
        return c.run([&] {
            Steps s;
            s(xk_util_base64_encode(reinterpret_cast<const uint8_t *>("hello"), 5, &text, &text_len),
              [&] { return show(take(text, text_len), text_len); });
            return s(xk_util_base64_decode("aGVsbG8=", 8, &bytes, &len), [&] { return show(take(bytes, len), len); }).seen;
        });
    };
    // --- collection, options, directories, the effective group ---
    auto collection = [](Ctx &c) {
        xk_collection *col = c.run([] { return xk_collection_new("name", make_int, copy_int, free); });
        std::string out = col == nullptr ? "null" : show(col->name ? col->name : "(no name)", col->growth);
        xk_collection_free(col);
        return Seen{failed_if(!col), out};
    };
    auto getopt = [](Ctx &c) {  // options before the failure keep their values; later ones are not looked at
        char *name = nullptr, *dir = nullptr, a0[] = "prog", a1[] = "--name", a2[] = "alice", a3[] = "-v",
             a4[] = "--dir", a5[] = "/tmp", *argv[] = {a0, a1, a2, a3, a4, a5};
        int verbose = 0;
        xk_util_option table[] = {{'n', "name", xk_util_getopt_string, &name, 1},
                                  {'v', "verbose", xk_util_getopt_flag, &verbose, 0},
                                  {'d', "dir", xk_util_getopt_string, &dir, 1}};
        xk_util_status st = c.run([&] { return xk_util_getopt(6, argv, table, 3); });
        return Seen{st, show(name ? take(name) : "-", verbose, dir ? take(dir) : "-")};
    };
    auto directory = [](Ctx &c) {  // the scan goes on past a name that could not be copied
        const std::string made = c.path("made"), read_only = c.path("read-only");
        std::filesystem::remove(made);
        std::filesystem::remove(read_only);
        int exists = 7;
        char *first = unset<char>(), *second = unset<char>();
        xk_util_dirscan_cursor *cursor;
        return c.run([&] {
            Steps s;
            s(xk_util_mkdir(made.c_str()), [&] { return show(std::filesystem::exists(made)); });
            s(xk_util_mkdir_read_only(read_only.c_str()), [&] { return show(std::filesystem::exists(read_only)); });
            xk_util_status st = xk_util_query_dir_exists(c.dir.c_str(), &exists);
            s(st != XK_OK ? st : failed_if(exists != 1), [&] { return show(exists); });
            if ((cursor = xk_util_dirscan_begin(c.dir.c_str())) == nullptr) return s(kFailed, [] { return "null"; }).seen;
            xk_util_dirscan(cursor);
            first = xk_dirscan_file_name(cursor);
            xk_util_dirscan(cursor);
            second = xk_dirscan_file_name(cursor);
            xk_util_dirscan_end(cursor);
            return s(failed_if(!first || !second), [&] { return show(take(first), take(second)); }).seen;
        });
    };
    auto egid = [](Ctx &c) {  // the group we already have, so that the switch succeeds when nothing fails
        struct group *g = getgrgid(getegid());
        std::string name = g == nullptr ? "" : g->gr_name;
        gid_t before = getegid();
        xk_util_status st = c.run([&] { return name.empty() ? XK_OK : ensure_egid(name.c_str()); });
        return Seen{st, getegid() == before ? "kept" : "moved"};
    };
    // --- time: each clock or conversion failing in turn leaves the outputs as they were ---
    auto time = [](Ctx &c) {
        const struct timespec later = {std::numeric_limits<time_t>::max() / 2, 0};
        struct timespec deadline = {123, 456};
        struct timeval tv = {1, 2};
        struct tm broken;
        char left[64] = "x", now[32] = "x";
        size_t now_len = sizeof now;
        int expired = 7, err = 0;
        time_t zero = 0;
        auto kept = [](bool k) { return k ? "kept" : "set"; };
        auto clock = [](uint64_t v) { return failed_if(v == 0); };
        auto read = [] { return "read"; };
        return c.run([&] {
            Steps s;
            s(xk_util_future_timeout(&deadline, 5, 1), [&] { return kept(deadline.tv_sec == 123); });
            s(xk_util_query_timeout_expired(&later, &expired), [&] { return show(expired); });
            s(xk_util_query_timeout_left(&later, left, sizeof left), [&] { return kept(left[0] == 'x'); });
            s(clock(xk_util_timer_point()), read)(xk_util_future_time(10, &tv), [&] { return kept(tv.tv_sec == 1); });
            s(clock(xk_util_walltime_msec()), read)(clock(xk_util_walltime_usec()), read);
            s(xk_util_now_str(now, &now_len, &err), [&] { return show(kept(now[0] == 'x'), now_len, err); });
            s(xk_util_get_broken_down_time(&broken), read);
            return s(failed_if(!xk_util_localtime_r(&zero, &broken)), read).seen;
        });
    };
    // --- descriptor I/O, paths, named files and durable sync ---
    auto files = [](Ctx &c) {
        const std::string src = c.path("src.txt"), cut = c.path("cut"), gone = c.path("gone"), out = c.path("out");
        std::ofstream(cut) << kSrc;
        std::ofstream(gone) << kSrc;
        int in = ::open(src.c_str(), O_RDONLY), counted = ::open(src.c_str(), O_RDONLY);
        int written = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), fd = -7, exists = 7, e = 0;
        __real_lseek(counted, 4, SEEK_SET);
        char *buf = unset<char>();
        int64_t size = -1;
        uint64_t count = 99;
        Seen seen = c.run([&] {
            Steps s;
            s(xk_util_open(&fd, &e, O_RDONLY, 0, "%s/%s", c.dir.c_str(), "src.txt"),
              [&] { return show(fd >= 0 ? "fd" : std::to_string(fd), e); });
            s(xk_util_read_file(in, &buf, &size, &(e = 0)), [&] { return show(take(buf), size, e); });
            s(xk_util_count_lines(counted, &count, &(e = 0)),
              [&] { return show(count, __real_lseek(counted, 0, SEEK_CUR), e); });
            s(xk_util_whole_write(written, "abc", 3, &(e = 0)), [&] { return show(e, read_text(out)); });
            s(xk_util_get_file_size(src.c_str(), &(size = -1)), [&] { return show(size); });
            s(xk_util_truncate_file(cut.c_str(), 2, &(e = 0)), [&] { return show(e, read_text(cut)); });
            s(xk_util_delete_file(gone.c_str(), &(e = 0)), [&] { return show(e, read_text(gone)); });
            return s(xk_util_query_file_exists(src.c_str(), &exists), [&] { return show(exists); }).seen;
        });
        for (int open_fd : {in, counted, written, fd}) close(open_fd);
        return seen;
    };
    auto named = [](Ctx &c) {
        const std::string src = c.path("src.txt"), dst = c.path("dst"), copy = c.path("copy");
        std::filesystem::remove(dst);
        std::filesystem::remove(copy);
        FILE *appended = fopen(c.path("log").c_str(), "ab"), *opened = unset<FILE>();
        fputs("x", appended);
        char *buf = unset<char>(), *plain = unset<char>(), *nested = unset<char>(), *abs = unset<char>();
        size_t size = 0;
        int err = 0;
        Seen seen = c.run([&] {
            Steps s;
            s(xk_util_fopen(&opened, &err, "rb", "%s", src.c_str()), [&] {
                bool stream = opened != nullptr && opened != unset<FILE>();
                return show(stream ? (__real_fclose(opened), "stream") : opened ? "unset" : "null", err);
            });
            s(xk_util_read_named_file(src.c_str(), &buf, &size, nullptr), [&] { return take(buf, size); });
            s(xk_util_write_named_file(dst.c_str(), 1, "payload", 7, nullptr), [&] { return read_text(dst); });
            s(xk_util_sync(appended, c.dir.c_str()), [] { return "synced"; });
            s(xk_util_sync_file(src.c_str()), [] { return "synced"; });
            s(xk_util_get_directory_component("plain-name", &plain), [&] { return take(plain); });
            s(xk_util_get_directory_component("/tmp/a/b", &nested), [&] { return take(nested); });
            s(xk_util_abs_path("/.", &abs), [&] { return take(abs); });
            return s(xk_util_copy_file(src.c_str(), copy.c_str()), [&] { return read_text(copy); }).seen;
        });
        __real_fclose(appended);
        return seen;
    };
    // --- children, signals, environment ---
    auto spawn = [](bool combined) {
        return [combined](Ctx &c) {  // no child is left without a handle
            xk_proc_handle *handle = unset<xk_proc_handle>();
            int code = -7;
            long forks = 0;
            xk_util_status st = c.run([&] {
                long before = seen(Call::fork);
                xk_util_status s = combined ? xk_spawn_and_wait(kArgv, kEnvp, &code) : xk_spawn(kArgv, kEnvp, &handle);
                forks = seen(Call::fork) - before;
                return s;
            });
            std::string kept = handle == unset<xk_proc_handle>() ? "unset" : handle == nullptr ? "null" : "handle";
            if (st == XK_OK && !combined) xk_wait(&handle, &code);
            return Seen{st, show(kept, code, forks)};
        };
    };
    // A failed wait keeps the handle for another wait; through the combined call the child is
    // left to reap; the deadline wait gives up at its first failed poll.
    auto wait = [](Ctx &c) {
        xk_proc_handle *handle = nullptr, *ended = nullptr, *spawned;
        int code = -7, combined = -7, status = 0;
        xk_spawn(kArgv, kEnvp, &handle);
        xk_spawn(kArgv, kEnvp, &ended);
        siginfo_t info;
        waitid(P_PID, static_cast<id_t>(ended->pid), &info, WEXITED | WNOWAIT);  // ended, not yet reaped
        spawned = handle;
        Seen seen = c.run([&] {
            Steps s;
            s(xk_wait(&handle, &code),
              [&] { return show(handle == nullptr ? "null" : handle == spawned ? "kept" : "moved", code); });
            s(xk_spawn_and_wait(kArgv, kEnvp, &combined), [&] { return show(combined); });
            return s(xk_util_await_child_timeout(ended->pid, 5), [] { return "polled"; }).seen;
        });
        if (handle != nullptr && xk_wait(&handle, &code) == XK_OK) seen.out += show("", "reaped", code);
        seen.out += waitpid(ended->pid, &status, WNOHANG) > 0 ? " left" : "";
        seen.out += waitpid(-1, &status, 0) > 0 ? " left" : "";
        xk_free_proc_handle(&ended);
        return seen;
    };
    auto signals = [](Ctx &c) {  // a failed change is logged, not traced, and changes nothing
        all_default();
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        disposition(SIGUSR2, &ignore);
        return c.run([&] {
            Steps s;
            s(xk_util_ignore_signal(SIGUSR1), [] { return show(ignored(SIGUSR1)); });
            return s(xk_util_reset_signal(SIGUSR2), [] { return show(ignored(SIGUSR2)); }).seen;
        });
    };
    auto common = [](Ctx &c) {  // ignoring the common signals goes on past a failure
        all_default();
        xk_util_status st = c.run([] { return xk_util_ignore_common_signals(); });
        auto can_ignore = [](int sig) { return sig != SIGKILL && sig != SIGTERM && sig != SIGSTOP; };
        std::string missed;
        for (int sig = 1; sig < 32; ++sig) missed += ignored(sig) || !can_ignore(sig) ? "" : show("", sig);
        int failed = 0;  // the signal asked for at this point
        for (long asked = -1; asked < c.n;) asked += can_ignore(++failed);
        std::string named = show(strsignal(failed), "(" + std::to_string(failed) + ")");
        bool in_turn = !c.injected || (missed == show("", failed) && c.capture.lines().size() == 1 &&
                                       c.capture.lines()[0].text.find(named) != std::string::npos);
        return Seen{st, in_turn ? "in turn" : missed};
    };
    auto env = [](Ctx &c) {
        const char *name = "XK_FAULT_ENV_PROBE";
        char *value, *host;
        unsetenv(name);
        auto now = [&] { return getenv(name) ? getenv(name) : "-"; };
        Seen seen = c.run([&] {
            Steps s;
            s(xk_util_setenv(name, "v"), now)(failed_if(!(value = xk_util_getenv(name))), [&] { return take(value); });
            s(failed_if(!(host = xk_util_get_hostname())), [&] { return take(host, 0); });
            return s(xk_util_unsetenv(name), now).seen;
        });
        unsetenv(name);
        return seen;
    };
    // --- process lookup, statistics, pid files ---
    // Processes come and go while the lookup row runs, so its runs name the point they met: the
    // filter's path (the entry is skipped), the id array, or the loop's path (the array stays
    // with the caller to free).
    auto pid_of = [](Ctx &c) {
        const std::string name = own_name();
        unsigned int *pids = unset<unsigned int>(), count = 12345;
        xk_util_status st = c.run([&] { return xk_util_pid_of(name.c_str(), 0, c.row.err ? nullptr : &pids, &count); });
        bool skipped = st == XK_OK && !c.capture.lines().empty();
        std::string array = take(pids, 0);
        std::string out = st == XK_OK ? (skipped ? "skipped" : count >= 1 ? "found" : "none") : show(array, count);
        return Seen{st, out, skipped ? 0 : array == "null" ? 1 : 2};
    };
    auto stat = [](Ctx &c) {  // the record is cleared before the file is opened
        xk_util_proc_stat_record record;
        memset(&record, 0xA5, sizeof record);
        xk_util_status st = c.run([&] { return xk_util_proc_stat(&record, 0); });
        return Seen{st, show(record.pid == getpid() ? "self" : std::to_string(record.pid), record.delayacct_blkio_ticks)};
    };
    const std::string files_ok = "OK fd 0 one\ntwo\nthree\n 14 0 3 4 0 0 abc 14 0 on 0 none 1", sys = "SYSTEM ";
    const std::string named_ok = "OK stream 0 one\ntwo\nthree\n payload synced synced plain-name /tmp/a / src";
    const std::string in_sync = " < xk_util_sync xk_util_write_named_file", size = " < xk_util_get_file_size xk_util_read_named_file";
    const std::string fsync = "  Reason: Input/output error @src/file/posix_fsync", time_ok = "OK set 0 set read set read read set 24 0 read read";
    const std::string nomem = "Memory allocation error  Reason: Cannot allocate memory @src/string/directory_linux";
    const std::string read_nomem = " < xk_util_read_named_file xk_util_claim_pid_file", pid_file = " @src/process/pid_file_linux";
    const std::string path_nomem = " < xk_util_vasprintf map_pid_to_exe xk_util_claim_pid_file", running = "RUNNING self self unlocked < xk_util_claim_pid_file";
    const std::string wide = "a\\x00\\x00\\x00b\\x00\\x00\\x00c\\x00\\x00\\x00", no_space = "  Reason: No space left on device";
    std::vector<Row> t = {
        {"format", kAlloc, 0, format, "OK pid-42 0 1 abc xyz xyz", {"NOMEM null -1 < xk_util_vasprintf", "FAILED null"}, 4},
        {"format", C::vsnprintf, EOVERFLOW, format, "OK pid-42 0 1 abc xyz xyz",
         {"SYSTEM null -1 < xk_util_printf_vsize xk_util_vasprintf", "SYSTEM null 75 < xk_util_vasprintf", "FAILED -1"}},
        {"strbuf", kAlloc, 0, strbuf, "OK 128 * P41 42 43 44 45 46 47 48 - 49 4A 4B 4C 4D 4E 4F 50 : ABCDEFGHIJKLMNOP\nP51 52 53 54 : QRST\n 200 328 all",
         {"FAILED null", "FAILED null", "FAILED * P41 42 *\nP51 52 53 54 : QRST\n : Could not realloc strbuf to * | Error in strbuf",
          "FAILED -1 0 null : Alloc failed for strbuf | Error in strbuf", "FAILED -1 128 127 : Could not realloc strbuf to 328 | Error in strbuf"}},
        // A formatter that fails once makes the append double the storage and try again.
        {"strbuf", C::vsnprintf, EOVERFLOW,
         [](Ctx &c) {
             xk_util_strbuf sb = buffer_with("x", 128);
             int n = c.run([&] { return xk_util_strbuf_append_f(&sb, "%s", "abc"); });
             return Seen{XK_OK, show(n, shown(c, sb))};
         },
         "OK 3 128 xabc", {"OK 3 256 xabc"}},
        {"strbuf", kAlloc, 0, hexdump, "OK same", {"FAILED same : *"}, -1},
        {"strbuf", kAlloc, 0, substitute, "OK 16 77 moved 139 a0123456789b0123456789",
         {"FAILED 0 77 same 8 a$Xb$X", "FAILED 0 77 same 8 a$Xb$X",
          "FAILED 5 77 moved 136 a012345b0123456789 : Could not realloc strbuf to 139 | Error in strbuf"}},
        {"bytes", kAlloc, 0, bytes, "OK 00ab7f \\x00\\xab\\x7f " + wide + " 3 set 16 set 6 set 4 0 0 0",
         {"NOMEM null < xk_util_sprintf_bytes : Allocation failed", "NOMEM null < xk_util_sscanf_bytes : Allocation failed",
          "NOMEM null 3 < xk_util_char_to_wchar", "NOMEM null 16 < xk_util_map_bitstring_to_bytes : Memory allocation failed",
          "NOMEM null 6 < xk_util_expand_byte_array : Memory allocation failed",
          "NOMEM null 3 1 2.5 7.5 < xk_util_sum_init : calloc() failed, N=4"}},
        {"split", kAlloc, 0, split, "OK bc 3",
         {"NOMEM null 3 < xk_util_split : Memory allocation failed", "NOMEM null 3 < xk_util_split : Failed to allocate memory"}, 4},
        {"join", kAlloc, 0, join, "OK a, b, c 8 abc 3 abcde 5",
         {"NOMEM null 8 < xk_util_join", "NOMEM null 0 < xk_util_append_string", "NOMEM abc 3 < xk_util_append_string"}},
        {"base64", kAlloc, 0, base64, "OK aGVsbG8= 8 hello 5", {"NOMEM null 8", "NOMEM null 6"}},
        {"collection", kAlloc, 0, collection, "OK name 10", {"FAILED null", "OK (no name) 10"}},
        {"getopt", kAlloc, 0, getopt, "OK alice 1 /tmp", {"NOMEM - 0 - < xk_util_getopt_string process_option xk_util_getopt_from",
                                                          "NOMEM alice 1 - < xk_util_getopt_string process_option xk_util_getopt_from"}},
        {"directory", C::mkdir, ENOSPC, directory, "OK 1 1 1 A b",
         {"SYSTEM 0 < xk_util_mkdir",
          "SYSTEM 0 < xk_util_mkdir_read_only : Failed to create directory {D}/read-only" + no_space + " @src/directory/linux"}},
        {"directory", C::opendir, EACCES, directory, "OK 1 1 1 A b",
         {"FAILED 0 : Error checking directory {D} existence  Reason: Permission denied @src/directory/linux"}},
        {"directory", C::opendir, ENOENT, directory, "OK 1 1 1 A b", {"FAILED 0"}},
        {"directory", C::scandir, EMFILE, directory, "OK 1 1 1 A b",
         {"FAILED null : Failed to scan directory {D}  Reason: Too many open files @src/directory/linux"}},
        {"directory", kAlloc, 0, directory, "OK 1 1 1 A b",
         {"FAILED null : Failed to allocate memory", "FAILED null b : Failed to allocate memory", "FAILED A null : Failed to allocate memory"}},
        {"ensure_egid", C::sysconf, EINVAL, egid, "OK kept",
         {"SYSTEM kept < ensure_egid : Failed to query group structure size  Reason: Invalid argument @src/permissions/permissions_linux"}},
        {"ensure_egid", C::getgrnam_r, EIO, egid, "OK kept",
         {"SYSTEM kept < ensure_egid : Failed to query group * data  Reason: Input/output error @src/permissions/permissions_linux"}},
        {"ensure_egid", C::setegid, EPERM, egid, "OK kept",
         {"SYSTEM kept < ensure_egid : Failed to update effective gid for group *  Reason: Operation not permitted @src/permissions/*"}},
        {"ensure_egid", kAlloc, 0, egid, "OK kept", {"NOMEM kept < ensure_egid : Failed to allocate * byte buffer"}},
        {"time", C::clock_gettime, EINVAL, time, time_ok,
         {"SYSTEM kept < xk_util_future_timeout : Failed to get current time.", "SYSTEM 7 < xk_util_query_timeout_expired",
          "SYSTEM kept < xk_util_query_timeout_left : Failed to get current time.", "FAILED read"}},
        {"time", C::gettimeofday, EFAULT, time, time_ok, {"SYSTEM kept < xk_util_future_time", "FAILED read"}, 3},
        {"time", C::time, EOVERFLOW, time, time_ok,
         {"SYSTEM kept 32 75 < xk_util_now_str", "SYSTEM read < xk_util_get_broken_down_time : Failed to read time"}},
        {"time", C::localtime_r, EOVERFLOW, time, time_ok,
         {"SYSTEM read < xk_util_get_broken_down_time : Failed to unpick time", "FAILED read"}},
        {"files", kAlloc, 0, files, files_ok, {"NOMEM -7 0 < xk_util_vasprintf", "NOMEM null 14 12 < xk_util_read_file"}},
        {"files", C::vsnprintf, EOVERFLOW, files, files_ok,
         {"SYSTEM -7 0 < xk_util_printf_vsize xk_util_vasprintf", "SYSTEM -7 75 < xk_util_vasprintf"}},
        {"files", C::open, EIO, files, files_ok, {"SYSTEM -1 5 < xk_util_open", "SYSTEM -1 < xk_util_get_file_size"}},
        {"files", C::fstat, EIO, files, files_ok,
         {"SYSTEM unset -1 5 < xk_util_read_file", "SYSTEM 99 4 5 < xk_util_count_lines", "SYSTEM -1 < xk_util_get_file_size"}},
        // A failed read is not a failure of a call whose errno the caller asked for; the offset is put back.
        {"files", C::read, EIO, files, files_ok, {"SYSTEM null 14 0 < xk_util_read_file", "SYSTEM * 4 5 < xk_util_count_lines"}},
        // Saving the offset, rewinding, and putting it back; nothing is counted before the rewind.
        {"files", C::lseek, EIO, files, files_ok, {"SYSTEM 99 4 5 < xk_util_count_lines", "SYSTEM 99 4 5 < xk_util_count_lines",
                                                   "SYSTEM * 14 5 < xk_util_count_lines"}},
        {"files", C::write, ENOSPC, files, files_ok, {"SYSTEM 28  < xk_util_whole_write"}},
        {"files", C::truncate, EROFS, files, files_ok, {"SYSTEM 30 src < xk_util_truncate_file"}},
        {"files", C::unlink, EROFS, files, files_ok, {"SYSTEM 30 src < xk_util_delete_file"}},
        // stat failing for a reason other than a missing file is a failure; ENOENT is an answer.
        {"files", C::stat, EIO, files, files_ok, {"SYSTEM 7 < xk_util_query_file_exists"}},
        {"files", C::stat, ENOENT, files, files_ok, {files_ok.substr(0, files_ok.size() - 1) + "0"}},
        {"named", kAlloc, 0, named, named_ok,
         {"NOMEM unset 0 < xk_util_vasprintf xk_util_fopen", "NOMEM null < xk_util_read_named_file",
          "NOMEM none < xk_util_get_directory_component xk_util_write_named_file : " + nomem,
          "NOMEM synced < xk_util_get_directory_component xk_util_sync_file : " + nomem + " | Failed to get directory component",
          "NOMEM null < xk_util_get_directory_component : Memory allocation for path plain-name  Reason: Cannot allocate memory *",
          "NOMEM null < xk_util_get_directory_component : " + nomem, "NOMEM none < xk_util_read_named_file",
          "NOMEM none < xk_util_get_directory_component xk_util_write_named_file : " + nomem}},
        {"named", C::open, EIO, named, named_ok,
         {"SYSTEM unset" + size, "SYSTEM payload" + in_sync, "SYSTEM synced < xk_util_sync",
          "SYSTEM synced < xk_util_sync_file : Failed to open file {D}/src.txt" + fsync,
          "SYSTEM synced < xk_util_sync_file : Failed to open directory {D}" + fsync, "SYSTEM none" + size, "SYSTEM src" + in_sync}},
        {"named", C::fopen, EMFILE, named, named_ok,
         {"SYSTEM unset 24 < xk_util_fopen", "SYSTEM unset < xk_util_read_named_file", "SYSTEM none < xk_util_write_named_file",
          "SYSTEM none < xk_util_read_named_file", "SYSTEM none < xk_util_write_named_file"}},
        {"named", C::fread, EIO, named, named_ok, {"SYSTEM null < xk_util_read_named_file", "SYSTEM none < xk_util_read_named_file"}},
        {"named", C::fwrite, ENOSPC, named, named_ok, {"SYSTEM < xk_util_write_named_file"}, 2},
        {"named", C::fflush, EIO, named, named_ok, {"SYSTEM payload" + in_sync, "SYSTEM synced < xk_util_sync", "SYSTEM src" + in_sync}},
        {"named", C::fsync, EIO, named, named_ok,
         {"SYSTEM payload" + in_sync, "SYSTEM payload" + in_sync, "SYSTEM synced < xk_util_sync", "SYSTEM synced < xk_util_sync",
          "SYSTEM synced < xk_util_sync_file : Failed to sync file {D}/src.txt" + fsync,
          "SYSTEM synced < xk_util_sync_file : Failed to sync directory file {D}" + fsync, "SYSTEM src" + in_sync, "SYSTEM src" + in_sync}},
        // A failing close changes no outcome and still releases the stream.
        {"named", C::fclose, EIO, named, named_ok, {named_ok}, 4},
        {"named", C::realpath, ELOOP, named, named_ok, {"SYSTEM null < xk_util_abs_path : Cannot determine absolute file path from "
                                                       "relative path /.  Reason: Too many levels of symbolic links *"}},
        {"wait", C::waitpid, ECHILD, wait, "OK null 3 3 polled",
         {"SYSTEM kept -7 reaped 3 < xk_wait : Failed to wait on process *  Reason: No child processes @src/process/spawn_linux",
          "SYSTEM -7 left < xk_wait : Failed to wait on process *  Reason: No child processes @src/process/spawn_linux",
          "SYSTEM polled left < xk_util_await_child_timeout : Failed to wait for child process * to end  Reason: No child processes @src/process_ops"}},
        {"signals", C::sigaction, EINVAL, signals, "OK 1 0",
         {"SYSTEM 0 : Failed to set ignore signal User defined signal 1 (10)  Reason: Invalid argument @src/process_ops",
          "SYSTEM 1 : Failed to reset signal User defined signal 2 (12)  Reason: Invalid argument @src/process_ops"}},
        {"signals", C::sigaction, EINVAL, common, "OK in turn",
         {"SYSTEM in turn : Failed to set ignore signal * (*)  Reason: Invalid argument @src/process_ops"}, 28},
        {"env", C::setenv, ENOMEM, env, "OK v v set -",
         {"SYSTEM - < xk_util_setenv : Failed to set environment variable: Cannot allocate memory @src/env/linux"}},
        {"env", C::unsetenv, EINVAL, env, "OK v v set -",
         {"SYSTEM v < xk_util_unsetenv : Failed to unset environment variable: Invalid argument @src/env/linux"}},
        {"env", kAlloc, 0, env, "OK v v set -", {"FAILED null"}, 2},
        {"env", C::sysconf, EINVAL, env, "OK v v set -", {"FAILED null"}},
        {"pid_of", kAlloc, 0, pid_of, "OK found",
         {"OK skipped < xk_util_vasprintf:NOMEM vet_possible_directory:NOMEM : Failed to allocate path",
          "NOMEM null 12345 < xk_util_pid_of : Failed to allocate memory",
          "NOMEM set 12345 < xk_util_vasprintf xk_util_pid_of : Failed to allocate path"}, -1},
        {"pid_of", C::scandir, EACCES, pid_of, "OK found",
         {"SYSTEM unset 12345 < xk_util_pid_of : Failed to open /proc  Reason: Permission denied @src/process_ops"}},
        {"proc_stat", C::fopen, ENOENT, stat, "OK self *", {"NOT_FOUND 0 0 < xk_util_proc_stat"}},
        {"proc_stat", C::getline, ENOMEM, stat, "OK self *",
         {"READ 0 0 < xk_util_proc_stat : getline() failed  Reason: Cannot allocate memory @src/system/linux"}},
        // Every step's failure is passed on, the lock given back and the file left as it was.
        {"claim", kAlloc, 0, claim("self"), running,
         {"NOMEM 7 self unlocked" + read_nomem, "NOMEM 7 self unlocked" + path_nomem,
          "NOMEM 7 self unlocked < map_pid_to_exe xk_util_claim_pid_file"}},
        {"claim", kAlloc, 0, claim("4194305"), "OK 7 self unlocked",  // a pid no process can have
         {"NOMEM 7 4194305 unlocked" + read_nomem, "NOMEM 7 4194305 unlocked" + path_nomem}},
        {"claim", kAlloc, 0, claim(""), "OK 7 self unlocked", {"NOMEM 7  unlocked" + read_nomem}},
        {"claim", C::open, EIO, claim("self"), running,
         {"SYSTEM 7 self unlocked < xk_util_claim_pid_file : Cannot access pid file {D}/run.pid  Reason: Input/output error" + pid_file,
          "SYSTEM 7 self unlocked < xk_util_claim_pid_file : Failed to open pid file {D}/run.pid  Reason: Input/output error" + pid_file,
          "SYSTEM 7 self unlocked < xk_util_get_file_size xk_util_read_named_file xk_util_claim_pid_file",
          "SYSTEM 7 self unlocked < map_pid_to_exe xk_util_claim_pid_file"}},
        // Permission to create is refused quietly.
        {"claim", C::open, EACCES, claim(nullptr), "OK 7 self unlocked", {"ACCESS 7 none unlocked < xk_util_claim_pid_file"}},
        // A held lock fails the claim at once; a failed unlock changes no outcome.
        {"claim", C::flock, EWOULDBLOCK, claim("self"), running,
         {"SYSTEM 7 self unlocked < xk_util_claim_pid_file : Failed to lock PID file {D}/run.pid  Reason: Resource temporarily "
          "unavailable" + pid_file, running}},
        // A new file is created and written; only the writer's open is traced.
        {"claim", C::fopen, ENOSPC, claim(nullptr), "OK 7 self unlocked",
         {"SYSTEM 7 * < write_pid_file : Failed to open pid file {D}/run.pid" + no_space + pid_file}},
        {"claim", C::fflush, ENOSPC, claim(nullptr), "OK 7 self unlocked",
         {"SYSTEM 7 * : Failed to flush written pid file {D}/run.pid" + no_space + pid_file}},
        {"claim", C::fclose, ENOSPC, claim(nullptr), "OK 7 self unlocked",
         {"SYSTEM 7 * : Failed to close written pid file {D}/run.pid" + no_space + pid_file}},
    };
    // The first slots, a fixed step, and the proportional step of a zero growth; attach
    // allocates only the slots, add and new their element first.
    for (auto [growth, count] : {std::pair{10, 0}, std::pair{2, 4}, std::pair{0, 3}})
        for (int kind : {0, 1, 2})
            t.push_back({"collection", kAlloc, 0, append_to(growth, count, kind), "OK grew 1", {"FAILED as it was"}, 2 - !kind});
    for (bool combined : {false, true}) {
        std::string chain = combined ? " < xk_spawn xk_spawn_and_wait" : " < xk_spawn", ok = combined ? "OK unset 3 1" : "OK handle 3 1";
        t.push_back({"spawn", kAlloc, 0, spawn(combined), ok, {(combined ? "NOMEM unset -7 0" : "NOMEM null -7 0") + chain}});
        t.push_back({"spawn", C::fork, EAGAIN, spawn(combined), ok, {(combined ? "SYSTEM unset -7 1" : "SYSTEM null -7 1") + chain}});
    }
    return t;
}

}  // namespace
}  // namespace xk::fault
