// SPDX-License-Identifier: MIT
// The failure table and its driver: one row per (operation, failing call), one pattern per failure
// point. The driver fails each point of a row in turn; every run must leave no block or descriptor
// behind and show its caller what the row lists. The failures delivered are tallied per row group.
// Then the size-boundary table, checked by the same helpers.
#include <dirent.h>
#include <fnmatch.h>
#include <grp.h>
#include <sys/file.h>

#include <functional>
#include <map>
#include <unordered_set>

#include "internal/process.h"
#include "internal/timeout.h"
#include "support/capture.h"
#include "support/hexdump_reference.h"

// --- the seam: the test binary is linked with -Wl,--wrap for the allocator and each system call
// the library makes, so that every call from the library's static objects passes through here ---

namespace {

// The armed failure: the call of kind `call` that is `nth` (0 = the next one) from now fails, once,
// with `err` as errno; `calls` counts the calls of that kind. The kind is the function's name, or
// "alloc" for malloc, calloc, realloc, strdup and strndup. No kind is "".
struct Armed { const char *call = ""; long nth = 0; int err = 0; long calls = 0; bool fired = false; } g_armed;

bool inject(const char *call) {
    if (strcmp(call, g_armed.call) != 0 || (++g_armed.calls, g_armed.nth--) != 0) return false;
    return errno = g_armed.err, g_armed.fired = true;
}

// Blocks handed out by the wrapped allocator and not yet freed. The set's own nodes come from
// operator new inside libstdc++, which the wrapping never sees.
std::unordered_set<void *> &live() {
    static auto *blocks = new std::unordered_set<void *>;
    return *blocks;
}
void *remember(void *p) { return p != nullptr ? *live().insert(p).first : p; }

}  // namespace

// The calls that fail by returning one value: name, failure value, parameters and arguments; then
// the allocations, whose blocks are remembered: result type, name, parameters and arguments. A
// failed stream transfer moves nothing and leaves the stream's error indicator set, as a real I/O
// error does; fclose releases the stream even when it reports a failure, as glibc's does.
#define XK_FAULT_PLAIN_CALLS(X)                                                                                     \
    X(read, -1, (int fd, void *b, size_t n), (fd, b, n)) X(lseek, -1, (int fd, off_t o, int w), (fd, o, w))         \
    X(write, -1, (int fd, const void *b, size_t n), (fd, b, n)) X(fstat, -1, (int fd, struct stat *st), (fd, st))   \
    X(stat, -1, (const char *p, struct stat *st), (p, st)) X(fsync, -1, (int fd), (fd)) X(fork, -1, (void), ())     \
    X(unlink, -1, (const char *p), (p)) X(flock, -1, (int fd, int op), (fd, op)) X(fflush, EOF, (FILE *f), (f))     \
    X(fclose, (__real_fclose(f), errno = g_armed.err, EOF), (FILE *f), (f)) X(setegid, -1, (gid_t g), (g))          \
    X(fopen, nullptr, (const char *p, const char *m), (p, m)) X(time, -1, (time_t *t), (t))                         \
    X(fread, (f->_flags |= _IO_ERR_SEEN, 0u), (void *b, size_t s, size_t n, FILE *f), (b, s, n, f))                 \
    X(fwrite, (f->_flags |= _IO_ERR_SEEN, 0u), (const void *b, size_t s, size_t n, FILE *f), (b, s, n, f))          \
    X(waitpid, -1, (pid_t pid, int *st, int o), (pid, st, o)) X(unsetenv, -1, (const char *n), (n))                 \
    X(sigaction, -1, (int s, const struct sigaction *a, struct sigaction *o), (s, a, o))                            \
    X(clock_gettime, -1, (clockid_t c, struct timespec *ts), (c, ts)) X(sysconf, -1, (int n), (n))                  \
    X(getgrnam_r, (*r = nullptr, errno), (const char *n, struct group *g, char *b, size_t s, struct group **r),     \
      (n, g, b, s, r))                                                                                              \
    X(setenv, -1, (const char *n, const char *v, int o), (n, v, o)) X(mkdir, -1, (const char *p, mode_t m), (p, m)) \
    X(getline, -1, (char **l, size_t *c, FILE *f), (l, c, f)) X(truncate, -1, (const char *p, off_t len), (p, len)) \
    X(gettimeofday, -1, (struct timeval *tv, void *tz), (tv, tz)) X(opendir, nullptr, (const char *p), (p))         \
    X(localtime_r, nullptr, (const time_t *t, struct tm *out), (t, out))                                            \
    X(realpath, nullptr, (const char *p, char *r), (p, r))                                                          \
    X(vsnprintf, -1, (char *b, size_t n, const char *f, va_list ap), (b, n, f, ap))                                 \
    X(scandir, -1, (const char *p, struct dirent ***l, int (*f)(const struct dirent *),                             \
      int (*c)(const struct dirent **, const struct dirent **)), (p, l, f, c))
#define XK_FAULT_ALLOCATIONS(X)                                                                      \
    X(void *, malloc, (size_t n), (n)) X(void *, calloc, (size_t n, size_t s), (n, s))               \
    X(char *, strdup, (const char *s), (s)) X(char *, strndup, (const char *s, size_t n), (s, n))

extern "C" {

#define XK_FAULT_WRAP(name, fail_value, params, args) \
    decltype(::name) __real_##name;                   \
    auto __wrap_##name params { return inject(#name) ? fail_value : __real_##name args; }
XK_FAULT_PLAIN_CALLS(XK_FAULT_WRAP)
#define XK_FAULT_ALLOCATION(ret, name, params, args) \
    ret __real_##name params;                        \
    ret __wrap_##name params { return inject("alloc") ? nullptr : static_cast<ret>(remember(__real_##name args)); }
XK_FAULT_ALLOCATIONS(XK_FAULT_ALLOCATION)

void *__real_realloc(void *, size_t);
void *__wrap_realloc(void *old, size_t size) {
    if (inject("alloc")) return nullptr;
    void *p = __real_realloc(old, size);
    if (p != nullptr || size == 0) live().erase(old);
    return remember(p);
}

void __real_free(void *);
void __wrap_free(void *p) { live().erase(p), __real_free(p); }

int __real_open(const char *, int, ...);
int __wrap_open(const char *path, int flags, ...) {  // the mode comes with O_CREAT or O_TMPFILE only
    va_list ap;
    va_start(ap, flags);
    mode_t mode = flags & (O_CREAT | O_TMPFILE) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    return va_end(ap), inject("open") ? -1 : __real_open(path, flags, mode);
}

}  // extern "C"

namespace xk::fault {
namespace {

constexpr uint32_t kFailed = 1;  // a call that returns a plain value handed back its failure value
const char kSrc[] = "one\ntwo\nthree\n";
std::map<std::string, std::array<long, 2>> g_tally;  // per row group: allocations, system calls

// What a run showed its caller. `point`, when set, names the listed point the run met.
struct Seen { uint32_t status; std::string out; int point = -1; };

// A row: an operation (`ok` the run that meets no failure) and the kind of call failed in it, with
// errno `err`. Its point n meets points[min(n, last)] unless the run names one; with `at_least`, the
// last point may be met any number of times. A point is an fnmatch pattern for "<status>
// <outputs>", then " < " and the functions that traced, innermost first (":<status>" after one
// whose status differs from the one returned), then " : " and the log lines joined by " | "
// (" @<file>" after a line that names its source file, " L<level>" after one not at level 3). The
// scratch directory is written {D}.
struct Row { std::string group, op, ok, call; int err; std::vector<std::string> points; bool at_least = false; };
void PrintTo(const Row &row, std::ostream *os) { *os << row.group << " " << row.op; }

// One run of a row: the operation arms the row's failure around the library calls with run(), or
// with steps() around calls made in turn, each passed to operator() as its status and outputs: the
// run shows the first failure's status and outputs, or XK_OK and every call's outputs. Each call's
// outputs are read (and its blocks freed) whatever its status; a braced Seen reads them after the call.
struct Ctx {
    const Row &row;
    long n;
    const std::string &dir;
    xk::test::Capture &capture;
    bool injected = false;
    Seen seen{XK_OK, ""};
    template <typename Calls> auto run(Calls calls) {
        capture.clear();
        g_armed = {row.call.c_str(), n, row.call == "alloc" ? ENOMEM : row.err};
        auto result = calls();
        if ((injected = std::exchange(g_armed, {}).fired)) ++g_tally[row.group][row.call == "alloc" ? 0 : 1];
        return result;
    }
    template <typename Calls> Seen steps(Calls calls) { return run([&] { return calls(), 0; }), seen; }
    void operator()(const Seen &s) {
        if (!seen.status) seen = {s.status, s.status || seen.out.empty() ? s.out : seen.out + " " + s.out};
    }
};

// An out-pointer's value before the call, to tell "left alone" from "cleared".
template <typename T> T *unset() { return reinterpret_cast<T *>(1); }

// "unset", "null", or the block's text ("set" for a length of 0), after which it is freed.
template <typename T> std::string take(T *p, size_t len = std::string::npos) {
    if (p == unset<T>() || p == nullptr) return p == nullptr ? "null" : "unset";
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(p);
    std::string out = len == 0 ? "set" : "";
    for (char hex[8]; len == std::string::npos ? *bytes != 0 : len-- > 0; ++bytes) {
        snprintf(hex, sizeof hex, "\\x%02x", *bytes);
        out += *bytes == '\n' ? "\\n" : *bytes >= 0x20 && *bytes < 0x7f ? std::string(1, *bytes) : hex;
    }
    return free(p), out;
}

template <typename... Values> std::string show(const Values &...values) {  // joined by single spaces
    std::ostringstream o;
    const char *sep = "";
    return ((o << sep << values, sep = " "), ...), o.str();
}

uint32_t failed_if(bool failed) { return failed ? kFailed : XK_OK; }
// A call that returns its block (or NULL): FAILED for NULL, and what take() shows.
template <typename T> Seen block(T *p, size_t len = std::string::npos) { return {failed_if(!p), take(p, len)}; }
// An out-pointer set to unset<T>() for the next call.
template <typename T> T **fresh(T *&p) { return &(p = unset<T>()); }

// "none" for a missing file, "src" for the scratch file's first content.
std::string read_text(const std::string &path) {
    std::string text = access(path.c_str(), F_OK) != 0 ? "none" : xk::test::read_text(path);
    return text == kSrc ? "src" : text;
}

struct sigaction disposition(int sig, const struct sigaction *set = nullptr) {
    struct sigaction now {};
    return __real_sigaction(sig, set, &now), now;
}

// Runs in a scratch directory holding "A", "b" and "src.txt"; each run must leave no block or
// descriptor behind, and what it showed, written as the table writes it, must match its pattern.
class Runs : public xk::test::ReportingTest {
protected:
    std::string dir;

    void SetUp() override {
        // Memory-backed where there is one: the durable writes sync their files at every point.
        dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm/xkutil-faults-XXXXXX" : "/tmp/xkutil-faults-XXXXXX";
        ASSERT_NE(mkdtemp(dir.data()), nullptr);
        for (auto [name, text] : {std::pair{"A", ""}, {"b", ""}, {"src.txt", kSrc}})
            std::ofstream(dir + "/" + name) << text;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    // (A descriptor left open fails the test through the listener every test binary carries.)
    template <typename Op> void expect_run(Op op, const std::function<std::string(const Seen &)> &pattern_for) {
        const size_t blocks = live().size();
        const Seen seen = op();
        EXPECT_EQ(live().size(), blocks) << "blocks leaked";
        static const std::map<uint32_t, std::string> names = {{XK_OK, "OK"}, {kFailed, "FAILED"},
            {XK_ERR_NOMEM, "NOMEM"}, {XK_ERR_SYSTEM, "SYSTEM"}, {XK_ERR_READ, "READ"}, {XK_ERR_ACCESS, "ACCESS"},
            {XK_ERR_NOT_FOUND, "NOT_FOUND"}, {XK_ERR_ALREADY_RUNNING, "RUNNING"}};
        auto name = [&](uint32_t st) { return names.count(st) ? names.at(st) : show(st); };
        std::string text = name(seen.status) + (seen.out.empty() ? "" : " " + seen.out), sep = " < ";
        for (const auto &r : traces())
            text += sep + r.func + (r.status == seen.status ? "" : ":" + name(r.status)), sep = " ";
        for (const auto &l : lines()) {
            EXPECT_TRUE(l.flags == 128 && l.file.empty() == (l.line == 0)) << l.text;  // a file comes with its line
            text += (&l == &lines()[0] ? " : " : " | ") + l.text + (l.file.empty() ? "" : " @" + l.file) +
                    (l.level == 3 ? "" : " L" + show(l.level));
        }
        for (size_t at; (at = text.find(dir)) != std::string::npos;) text.replace(at, dir.size(), "{D}");
        const std::string pattern = pattern_for(seen);
        EXPECT_EQ(fnmatch(pattern.c_str(), text.c_str(), FNM_NOESCAPE), 0) << pattern << "\n" << text;
    }
};

// --- the size-boundary table ---

xk_util_status vsize(int *size, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_printf_vsize(format, ap, size);
    return va_end(ap), st;
}

// `call` with the size `n` (and `m` where it takes a second one): its status, what its out-pointer
// holds and the length it stored (the size that could not be allocated). A collection stands full
// at n elements and grows by m (0: by half); its array, a single slot, must be left alone.
Seen at_size(const std::string &call, size_t n, int32_t m) {
    const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    char *p = unset<char>(), buf[4] = "abc";
    uint8_t *u = unset<uint8_t>();
    size_t len = 0;
    int size = 0;
    xk_util_sum sum{};
    void *slot[1] = {nullptr};
    const auto full = static_cast<int32_t>(n);
    xk_collection col{nullptr, nullptr, free, nullptr, m, slot, full, full};
    if (call == "memdup0") return {XK_OK, take(xk_util_memdup0(bytes, n), 0)};
    if (call == "to_base64_size") return {XK_OK, show(xk_util_to_base64_size(n))};
    if (call == "base64_encode") return {xk_util_base64_encode(bytes, n, &p, &len), show(take(p, 0), len)};
    if (call == "sprintf_bytes") return {xk_util_sprintf_bytes(bytes, n, &p), take(p, 0)};
    if (call == "map_bitstring_to_bytes")
        return {xk_util_map_bitstring_to_bytes(bytes, n, &u, &len), show(take(u, 0), len)};
    if (call == "expand_byte_array") return {xk_util_expand_byte_array(bytes, n, m, &u, &len), show(take(u, 0), len)};
    if (call == "sum_init") return {xk_util_sum_init(&sum, n), show(take(sum.buckets, 0), sum.n)};
    if (call == "snprintf") return {XK_OK, show(xk_util_snprintf(buf, n, "%s", "x"), buf)};
    if (call == "printf_vsize") return {vsize(&size, "%*s", INT32_MAX, ""), show(size)};
    // Otherwise "attach"; a braced list is read in order, a call's arguments are not.
    bool attached = xk_collection_element_attach(&col, slot);
    return {failed_if(!attached), show(col.count - full, col.elements == slot ? "kept" : "moved")};
}

using SizeLimits = Runs;

// Every export that turns a caller's size into another size, called where that computation would
// wrap, refuses before it makes any allocation call.
TEST_F(SizeLimits, EveryWrappingSizeIsRefusedBeforeAnythingIsAllocated) {
    const size_t half = SIZE_MAX / 2 + 1, wrap = 3 * (size_t{1} << 62);  // base64's 4 / 3 wraps from wrap - 2 on
    const std::string max = show(SIZE_MAX), nomem = "NOMEM null " + max, refused = "FAILED 0 kept",
                      hex = "NOMEM null < xk_util_sprintf_bytes : Allocation failed",
                      bytes = " < xk_util_expand_byte_array : Memory allocation failed";
    struct Limit { std::string call; size_t n; int32_t m; std::string pattern; };
    std::vector<Limit> limits = {{"memdup0", SIZE_MAX, 0, "OK null"}, {"to_base64_size", wrap, 0, "OK " + max},
        {"to_base64_size", SIZE_MAX, 0, "OK " + max}, {"sprintf_bytes", half, 0, hex},
        {"base64_encode", wrap, 0, nomem}, {"base64_encode", wrap + 1, 0, nomem}, {"base64_encode", wrap + 2, 0, nomem},
        {"base64_encode", wrap - 2, 0, nomem}, {"base64_encode", SIZE_MAX, 0, nomem},
        {"map_bitstring_to_bytes", SIZE_MAX / 8 + 1, 0,
         nomem + " < xk_util_map_bitstring_to_bytes : Memory allocation failed"},
        {"expand_byte_array", half, 2, "NOMEM null 0" + bytes}, {"sprintf_bytes", SIZE_MAX, 0, hex},
        {"expand_byte_array", SIZE_MAX, INT32_MAX, "NOMEM null " + show(size_t{0} - INT32_MAX) + bytes},
        {"expand_byte_array", 3, -1, "NOMEM null " + show(size_t{0} - 3) + bytes},
        {"sum_init", SIZE_MAX / 8 + 1, 0, "NOMEM null 0 < xk_util_sum_init : calloc() failed, N=2305843009213693952"},
        {"snprintf", size_t{INT32_MAX} + 1, 0, "OK -1 abc"}, {"attach", INT32_MAX, 10, refused},
        {"attach", 1, INT32_MAX, refused}, {"attach", INT32_MAX / 3 * 2, 0, refused}};
    // Sizing formats the whole text, seconds of work for 2^31 - 1 characters: natively only.
    if (!xk::test::under_emulator())
        limits.push_back({"printf_vsize", 0, 0, "SYSTEM 2147483647 < xk_util_printf_vsize"});
    for (const Limit &limit : limits) {
        SCOPED_TRACE(show(limit.call, limit.n, limit.m));
        capture.clear();
        g_armed = {"alloc", LONG_MAX, ENOMEM};  // counts the allocation calls, fails none
        expect_run([&] { return at_size(limit.call, limit.n, limit.m); }, [&](const Seen &) { return limit.pattern; });
        EXPECT_EQ(std::exchange(g_armed, {}).calls, 0);
    }
}

// --- the operations ---

char kShell[] = "/bin/sh", kDashC[] = "-c", kExit3[] = "exit 3";
char *const kArgv[] = {kShell, kDashC, kExit3, nullptr}, *const kEnvp[] = {nullptr};

void *make_int() { return calloc(1, sizeof(int)); }
void *copy_int(const void *from) { return xk_util_memdup(from, sizeof(int)); }
// The start of our own command line, no longer than the longest program name a pid-file check takes.
std::string own_name() { return read_text("/proc/self/cmdline").substr(0, 100).c_str(); }
std::string or_self(const std::string &pid) { return pid == show(getpid()) ? "self" : pid; }
bool ignored(int sig) { return disposition(sig).sa_handler == SIG_IGN; }
// Every signal back to SIG_DFL, which is 0.
void all_default() { for (int sig = 1; sig < 32; ++sig) disposition(sig, std::array<struct sigaction, 1>{}.data()); }
xk_util_strbuf buffer_with(const char *text, int32_t capacity, int32_t hex_limit = 256) {
    xk_util_strbuf sb{static_cast<char *>(calloc(static_cast<size_t>(capacity), 1)), capacity, hex_limit};
    return strcpy(sb.str, text), sb;
}

// Formatting, hex and wide text, bit strings, sums, split, join and base64: a failed call clears
// its out-pointer, and the caller's text and length stay as a failed append found them.
Seen text(Ctx &c) {
    char *p, buf[8], *str = nullptr, **fields = unset<char *>();  // p, u: each call's out-pointer, unset before it
    uint8_t bytes[] = {0x00, 0xAB, 0x7F}, *u;
    wchar_t *wide = unset<wchar_t>();
    size_t n = 0, len = 0;
    xk_util_sum sum{3, 1, unset<double>(), 2.5, 7.5};
    xk_util_strbuf roomy = buffer_with("x", 128);  // a formatter failing once makes it double and try again
    int err = -1;
    return c.steps([&] {
        c({xk_util_asprintf(fresh(p), &err, "%s-%d", "pid", 42), show(take(p), err)});
        c({failed_if((err = xk_util_snprintf(buf, sizeof buf, "%d", 1)) < 0), show(err)});
        c(block(xk_util_strndup("abcdef", 3)));
        c(block(static_cast<char *>(xk_util_memdup("xyz", 3)), 3));
        c(block(static_cast<char *>(xk_util_memdup0("xyz", 3))));
        c({xk_util_sprintf_bytes(bytes, 3, fresh(p)), take(p)});
        c({xk_util_sscanf_bytes("00AB7f", 6, fresh(u)), take(u, 3)});
        c({xk_util_char_to_wchar("abc", 99, &wide, &n), show(take(wide, 12), n)});
        c({xk_util_map_bitstring_to_bytes(bytes + 1, 2, fresh(u), &n), show(take(u, 0), n)});
        c({xk_util_expand_byte_array(bytes + 1, 2, 3, fresh(u), &n), show(take(u, 0), n)});
        c({xk_util_sum_init(&sum, 4), show(take(sum.buckets, 0), sum.n, sum.pos, sum.window, sum.total)});
        xk_util_status st = xk_util_split("a,,bc,d,", ",", &fields, &n);
        c({st, show(st != XK_OK ? take(fields, 0) : fields[1], n)});
        for (size_t i = 0; st == XK_OK && i <= n; ++i) free(i < n ? static_cast<void *>(fields[i]) : fields);
        c({xk_util_join(std::array{"a", "b", "c"}.data(), 3, ", ", fresh(p), &n), show(take(p), n)});
        c({xk_util_append_string(&str, &len, "abc", 3), show(str ? str : "null", len)});
        c({xk_util_append_string(&str, &len, "de", 2), show(take(str), len)});
        c({xk_util_base64_encode(reinterpret_cast<const uint8_t *>("hello"), 5, fresh(p), &n), show(take(p, n), n)});
        c({xk_util_base64_decode("aGVsbG8=", 8, fresh(u), &n), show(take(u, n), n)});
        c({failed_if(xk_util_strbuf_append_f(&roomy, "%s", "abc") != 3), show(roomy.capacity, take(roomy.str))});
    });
}

// A new record, a dump that grows its buffer many times, an append to no storage; then a
// substitution whose scratch starts at the buffer's capacity of 8, so that the first ten-character
// replacement makes it grow to 10 + 1 + 128.
Seen strbuf(Ctx &c) {
    xk_util_strbuf *sb, full = buffer_with("", 8), ref = buffer_with("", 8), none{}, sub = buffer_with("a$Xb$X", 8, 77);
    char data[161] = {}, *was = sub.str;
    for (int i = 0; i < 160; ++i) data[i] = static_cast<char>('A' + i % 26);
    return c.steps([&] {
        c({failed_if(!(sb = xk_util_strbuf_new(0))), sb ? (xk_util_strbuf_free(sb), "new") : "null"});
        xk_util_strbuf_hexdump(&full, "P", data, 160);
        xk::test::reference_hexdump(&ref, "P", data, 160);  // the same text, appended piece by piece
        const char *same = strcmp(full.str, ref.str) == 0 ? "same" : "differ";
        c({failed_if(!c.capture.lines().empty()),
           show(full.capacity, strlen(full.str), ref.capacity, strlen(ref.str), same)});
        free(full.str), free(ref.str);
        int n = xk_util_strbuf_append_f(&none, "%s", data);
        c({failed_if(n < 0), show(n, none.capacity, none.str ? show(strlen(none.str)) : "null")});
        free(none.str);
        n = xk_util_strbuf_substitute(&sub, "$X", 0, "%s", "0123456789");
        c({failed_if(n != 16), show(n, sub.hex_limit, sub.str == was ? "same" : "moved", sub.capacity, take(sub.str))});
    });
}

// A collection's array, count, capacity and slots.
auto slots(const xk_collection *col) {
    return std::tuple(col->elements, col->count, col->capacity,
                      std::vector(col->elements, col->elements + col->capacity));
}

// A new collection (its name may fail alone), then attach, add and new in turn to collections at
// their first slots, at a fixed step, and at the proportional step of a zero growth: a failed append
// leaves the slots as they were, and the elements keep their values either way.
Seen collection(Ctx &c) {
    std::vector<std::pair<xk_collection *, void *>> cols;  // each with the element an attach hands over
    for (size_t i = 0; i < 9; ++i) {
        cols.push_back({xk_collection_new("numbers", make_int, copy_int, free), make_int()});
        xk_collection_set_growth(cols[i].first, std::array{10, 2, 0}[i / 3]);
        for (int k = 0; k < std::array{0, 4, 3}[i / 3]; ++k)
            *static_cast<int *>(xk_collection_element_new(cols[i].first)) = k;
    }
    int value = 42;
    Seen seen = c.steps([&] {
        xk_collection *named = xk_collection_new("name", make_int, copy_int, free);
        c({failed_if(!named), named ? show(named->name ? named->name : "(no name)", named->growth) : "null"});
        xk_collection_free(named);
        for (size_t i = 0; i < cols.size(); ++i) {
            auto &[col, mine] = cols[i];
            const auto before = slots(col);
            const int32_t count = col->count;
            bool ok = i % 3 == 0 ? xk_collection_element_attach(col, mine)
                      : i % 3 == 1 ? xk_collection_element_add(col, &value) : !!xk_collection_element_new(col);
            if (ok && i % 3 == 0) mine = nullptr;
            std::string out = slots(col) == before ? "as it was" : show("grew", col->count - count);
            for (int32_t k = 0; k < count; ++k) out += *static_cast<int *>(col->elements[k]) == k ? "" : " lost";
            c({failed_if(!ok), out});
        }
    });
    for (auto [col, mine] : cols) free(mine), xk_collection_free(col);
    return seen;
}

// Options before a failure keep their values, later ones are not looked at; the scan goes on past
// a name that could not be copied; the switch to the group we already have succeeds when nothing
// fails.
Seen host(Ctx &c) {
    const std::string made = c.dir + "/made", read_only = c.dir + "/read-only", env = "XK_FAULT_ENV_PROBE";
    for (const auto &path : {made, read_only}) std::filesystem::remove(path);
    char *name = nullptr, *dir = nullptr, *first = unset<char>(), *second = unset<char>(),
         a[5][8] = {"--name", "alice", "-v", "--dir", "/tmp"}, *argv[] = {a[0], a[0], a[1], a[2], a[3], a[4]};
    int verbose = 0, exists = 7;
    xk_util_option table[] = {{'n', "name", xk_util_getopt_string, &name, 1},
                              {'v', "verbose", xk_util_getopt_flag, &verbose, 0},
                              {'d', "dir", xk_util_getopt_string, &dir, 1}};
    const gid_t egid = getegid();
    const std::string group = getgrgid(egid) == nullptr ? "" : getgrgid(egid)->gr_name;
    auto now = [&] { return getenv(env.c_str()) ? getenv(env.c_str()) : "-"; };
    Seen seen = c.steps([&] {
        c({xk_util_getopt(6, argv, table, 3), show(name ? take(name) : "-", verbose, dir ? take(dir) : "-")});
        c({xk_util_mkdir(made.c_str()), show(std::filesystem::exists(made))});
        c({xk_util_mkdir_read_only(read_only.c_str()), show(std::filesystem::exists(read_only))});
        xk_util_status st = xk_util_query_dir_exists(c.dir.c_str(), &exists);
        c({st != XK_OK ? st : failed_if(exists != 1), show(exists)});
        xk_util_dirscan_cursor *cursor = xk_util_dirscan_begin(c.dir.c_str());
        if (cursor != nullptr) {
            first = (xk_util_dirscan(cursor), xk_dirscan_file_name(cursor));
            second = (xk_util_dirscan(cursor), xk_dirscan_file_name(cursor));
            xk_util_dirscan_end(cursor);
        }
        c({failed_if(!cursor || !first || !second), cursor ? show(take(first), take(second)) : "null"});
        c({group.empty() ? XK_OK : ensure_egid(group.c_str()), getegid() == egid ? "kept" : "moved"});
        c({xk_util_setenv(env.c_str(), "v"), now()});
        c(block(xk_util_getenv(env.c_str())));
        c(block(xk_util_get_hostname(), 0));
        c({xk_util_unsetenv(env.c_str()), now()});
    });
    return unsetenv(env.c_str()), seen;
}

// Each clock or conversion failing in turn leaves the outputs as they were.
Seen time(Ctx &c) {
    struct timespec later = {std::numeric_limits<time_t>::max() / 2, 0}, deadline = {123, 456};
    struct timeval tv = {1, 2};
    struct tm broken;
    char left[64] = "x", now[32] = "x";
    size_t now_len = sizeof now;
    int expired = 7, err = 0;
    auto kept = [](bool k) { return k ? "kept" : "set"; };
    auto clock = [](uint64_t v) { return Seen{failed_if(v == 0), "read"}; };
    return c.steps([&] {
        c({xk_util_future_timeout(&deadline, 5, 1), kept(deadline.tv_sec == 123)});
        c({xk_util_query_timeout_expired(&later, &expired), show(expired)});
        c({xk_util_query_timeout_left(&later, left, sizeof left), kept(left[0] == 'x')});
        c(clock(xk_util_timer_point()));
        c({xk_util_future_time(10, &tv), kept(tv.tv_sec == 1)});
        c(clock(xk_util_walltime_msec()));
        c(clock(xk_util_walltime_usec()));
        c({xk_util_now_str(now, &now_len, &err), show(kept(now[0] == 'x'), now_len, err)});
        c({xk_util_get_broken_down_time(&broken), "read"});
        c({failed_if(!xk_util_localtime_r(&tv.tv_sec, &broken)), "read"});
    });
}

// Descriptor I/O, paths, named files, durable sync, directory components and absolute paths.
Seen files(Ctx &c) {
    const std::string src = c.dir + "/src.txt", cut = c.dir + "/cut", gone = c.dir + "/gone", out = c.dir + "/out",
                      dst = c.dir + "/dst", copy = c.dir + "/copy";
    for (const auto &path : {cut, gone}) std::ofstream(path) << kSrc;
    for (const auto &path : {dst, copy}) std::filesystem::remove(path);
    int in = ::open(src.c_str(), O_RDONLY), counted = ::open(src.c_str(), O_RDONLY);
    int written = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), fd = -7, exists = 7, e = 0;
    __real_lseek(counted, 4, SEEK_SET);
    FILE *appended = fopen((c.dir + "/log").c_str(), "ab"), *opened = unset<FILE>();
    fputs("x", appended);
    char *p;  // each call's out-pointer, unset before it
    int64_t size = -1;
    uint64_t count = 99;
    size_t named_size = 0;
    Seen seen = c.steps([&] {
        c({xk_util_open(&fd, &e, O_RDONLY, 0, "%s/%s", c.dir.c_str(), "src.txt"), show(fd >= 0 ? "fd" : show(fd), e)});
        c({xk_util_read_file(in, fresh(p), &size, &(e = 0)), show(take(p), size, e)});
        c({xk_util_count_lines(counted, &count, &(e = 0)), show(count, __real_lseek(counted, 0, SEEK_CUR), e)});
        c({xk_util_whole_write(written, "abc", 3, &(e = 0)), show(e, read_text(out))});
        c({xk_util_get_file_size(src.c_str(), &(size = -1)), show(size)});
        c({xk_util_truncate_file(cut.c_str(), 2, &(e = 0)), show(e, read_text(cut))});
        c({xk_util_delete_file(gone.c_str(), &(e = 0)), show(e, read_text(gone))});
        c({xk_util_query_file_exists(src.c_str(), &exists), show(exists)});
        c({xk_util_fopen(&opened, &(e = 0), "rb", "%s", src.c_str()),
           show(opened && opened != unset<FILE>() ? (__real_fclose(opened), "stream") : opened ? "unset" : "null", e)});
        c({xk_util_read_named_file(src.c_str(), fresh(p), &named_size, nullptr), take(p, named_size)});
        c({xk_util_write_named_file(dst.c_str(), 1, "payload", 7, nullptr), read_text(dst)});
        c({xk_util_sync(appended, c.dir.c_str()), "synced"});
        c({xk_util_sync_file(src.c_str()), "synced"});
        c({xk_util_get_directory_component("plain-name", fresh(p)), take(p)});
        c({xk_util_get_directory_component("/tmp/a/b", fresh(p)), take(p)});
        c({xk_util_abs_path("/.", fresh(p)), take(p)});
        c({xk_util_copy_file(src.c_str(), copy.c_str()), read_text(copy)});
    });
    for (int open_fd : {in, counted, written, fd}) close(open_fd);
    __real_fclose(appended);
    return seen;
}

// No child is left without a handle. A failed wait keeps the handle for another wait; through the
// combined call the child is left to reap; the deadline wait gives up at its first failed poll.
Seen children(Ctx &c) {
    xk_proc_handle *handle = unset<xk_proc_handle>(), *ended = nullptr, *was;
    int code = -7, combined = -7;
    xk_spawn(kArgv, kEnvp, &ended);
    siginfo_t info;
    waitid(P_PID, static_cast<id_t>(ended->pid), &info, WEXITED | WNOWAIT);  // ended, not yet reaped
    auto live = [&] { return handle != nullptr && handle != unset<xk_proc_handle>(); };
    Seen seen = c.steps([&] {
        c({xk_spawn(kArgv, kEnvp, &handle), live() ? "handle" : handle ? "unset" : "null"});
        was = handle;
        if (live()) c({xk_wait(&handle, &code), show(handle == was ? "kept" : handle ? "moved" : "null", code)});
        c({xk_spawn_and_wait(kArgv, kEnvp, &combined), show(combined)});
        c({xk_util_await_child_timeout(ended->pid, 5), "polled"});
    });
    if (live() && xk_wait(&handle, &code) == XK_OK) seen.out += show("", "reaped", code);
    for (int status; waitpid(-1, &status, 0) > 0;) seen.out += " left";
    xk_free_proc_handle(&ended);
    return seen;
}

// Ignoring the common signals goes on past a failure, which names the signal asked for; then a
// failed change of one signal is logged, not traced, and changes nothing.
Seen signals(Ctx &c) {
    struct sigaction dfl {}, ignore {};
    ignore.sa_handler = SIG_IGN;
    all_default();
    Seen seen = c.steps([&] {
        xk_util_status st = xk_util_ignore_common_signals();
        std::string missed;  // each signal left alone, written as a log line names it
        for (int sig = 1; sig < 32; ++sig)
            missed += ignored(sig) || sig == SIGKILL || sig == SIGTERM || sig == SIGSTOP ? "" : "(" + show(sig) + ")";
        const auto &lines = c.capture.lines();
        const bool named = lines.size() == 1 && lines[0].text.find(missed) != std::string::npos;
        c({st, missed.empty() ? "all" : named ? "one named" : "missed " + missed});
        disposition(SIGUSR1, &dfl), disposition(SIGUSR2, &ignore);
        c({xk_util_ignore_signal(SIGUSR1), show(ignored(SIGUSR1))});
        c({xk_util_reset_signal(SIGUSR2), show(ignored(SIGUSR2))});
    });
    return all_default(), seen;
}

// Processes come and go while the lookup runs, so its runs name the point they met: the filter's
// path (the entry is skipped), the id array, or the loop's path (the array stays with the caller
// to free).
Seen pid_of(Ctx &c) {
    const std::string name = own_name();
    unsigned int *pids = unset<unsigned int>(), count = 12345;
    xk_util_status st = c.run([&] { return xk_util_pid_of(name.c_str(), 0, c.row.err ? nullptr : &pids, &count); });
    bool skipped = st == XK_OK && !c.capture.lines().empty();
    std::string array = take(pids, 0), out = st ? show(array, count) : skipped ? "skipped" : count ? "found" : "none";
    return Seen{st, out, skipped ? 0 : array == "null" ? 1 : 2};
}

// The record is cleared before the file is opened.
Seen stat(Ctx &c) {
    xk_util_proc_stat_record record;
    memset(&record, 0xA5, sizeof record);
    xk_util_status st = c.run([&] { return xk_util_proc_stat(&record, 0); });
    return Seen{st, show(or_self(show(record.pid)), record.delayacct_blkio_ticks)};
}

// Claims, under our own name, the pid file holding what the operation's name has after "="
// (our pid for "self"; no file without "="); shows the pid handed back, the file afterwards and
// whether its lock was given back.
Seen claim(Ctx &c) {
    const std::string path = c.dir + "/run.pid", name = own_name(), content = c.row.op.substr(c.row.op.find('=') + 1);
    std::filesystem::remove(path);
    if (content != c.row.op) std::ofstream(path) << (content == "self" ? show(getpid()) : content);
    unsigned int pid = 7;
    xk_util_status st = c.run([&] { return xk_util_claim_pid_file(path.c_str(), name.c_str(), &pid); });
    std::string text = read_text(path);
    int fd = ::open(path.c_str(), O_RDONLY);
    bool unlocked = fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) close(fd);
    return Seen{st, show(or_self(show(pid)), or_self(text), unlocked ? "unlocked" : "locked")};
}

const std::map<std::string, Seen (*)(Ctx &)> kOperations = {{"text", text}, {"strbuf", strbuf},
    {"collection", collection}, {"host", host}, {"time", time}, {"files", files}, {"children", children},
    {"signals", signals}, {"pid_of", pid_of}, {"stat", stat}, {"claim", claim}};

// The table: "@ <group> <operation> <pattern>" opens an operation with the run that meets no
// failure; then "- <calls> <errno> <pattern>" lists failure points in turn for each of the
// comma-separated calls (a call's "*<times>" repeats its point, "+" lets it be met one or more
// times), failing with <errno> ("0" for allocations). An operation's points of one call and errno
// make one row.
std::vector<Row> rows() {
    std::vector<Row> t;
    std::istringstream table(
#include "fault/table.inc"
    );
    std::string group, op, ok, mark, calls, err, pattern;
    for (std::string line; std::getline(table, line);) {
        std::istringstream words(line);
        if (!(words >> mark >> calls >> err >> std::ws) || !std::getline(words, pattern, '\0')) continue;
        if (mark == "@") std::tie(group, op, ok) = std::tie(calls, err, pattern);
        int err_no = 0;
        for (int e = 1; e < 134 && err_no == 0; ++e) err_no = strerrorname_np(e) && err == strerrorname_np(e) ? e : 0;
        std::istringstream items(calls);
        for (std::string item; mark == "-" && std::getline(items, item, ',');) {
            const size_t star = item.find('*');
            const std::string call = item.substr(0, std::min(star, item.find('+')));
            auto same = [&](const Row &r) { return r.op == op && r.call == call && r.err == err_no; };
            auto row = std::find_if(t.begin(), t.end(), same);
            if (row == t.end()) row = t.insert(t.end(), {group, op, ok, call, err_no, {}});
            row->at_least = item.back() == '+';
            const size_t times = star == std::string::npos ? 1 : std::stoul(item.substr(star + 1));
            row->points.insert(row->points.end(), times, pattern);
        }
    }
    return t;
}

class Faults : public Runs, public ::testing::WithParamInterface<Row> {
protected:
    static void TearDownTestSuite() {  // the failures delivered, per row group and in all
        long all[2] = {};
        for (const auto &[group, n] : g_tally)
            printf("  %s: %ld allocation, %ld system-call failures\n", group.c_str(), (all[0] += n[0], n[0]),
                   (all[1] += n[1], n[1]));
        printf("  in all: %ld allocation, %ld system-call failures\n", all[0], all[1]);
    }
};

// Fails point 0, 1, 2, ... until a run meets none.
TEST_P(Faults, EachPointInTurn) {
    const Row &row = GetParam();
    long n = 0;
    for (bool injected = true; injected && !HasFailure(); ++n) {
        SCOPED_TRACE(testing::Message() << "failure point " << n);
        Ctx ctx{row, n, dir, capture};
        expect_run([&] { return kOperations.at(row.op.substr(0, row.op.find('=')))(ctx); }, [&](const Seen &seen) {
            long point = std::min<long>(seen.point >= 0 ? seen.point : n, static_cast<long>(row.points.size()) - 1);
            return (injected = ctx.injected) ? row.points[static_cast<size_t>(point)] : row.ok;
        });
    }
    const long listed = static_cast<long>(row.points.size());
    EXPECT_TRUE(HasFailure() || (row.at_least ? n - 1 >= listed : n - 1 == listed)) << n - 1;
}

INSTANTIATE_TEST_SUITE_P(Table, Faults, ::testing::ValuesIn(rows()),
                         [](const auto &info) { return info.param.group + "_" + std::to_string(info.index); });

}  // namespace
}  // namespace xk::fault
