#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <string.h>
#include <sys/file.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wchar.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "fault/driver.h"
#include "internal/pid_file.h"
#include "internal/process.h"
#include "internal/timeout.h"
#include "support/hexdump_reference.h"
#include "xk/xkutil.h"

extern "C" int __real_sigaction(int, const struct sigaction *, struct sigaction *);

namespace xk::fault {
namespace {

using C = Call;
constexpr Call kAlloc = Call::malloc_family;
const char kSrc[] = "one\ntwo\nthree\n";

std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string text = in ? std::string(std::istreambuf_iterator<char>(in), {}) : "none";
    return text == kSrc ? "src" : text;
}

// The start of our own command line, no longer than the longest program name a pid-file check takes.
std::string own_name() { return read_text("/proc/self/cmdline").substr(0, 100).c_str(); }

uint32_t nul(const void *p) { return p == nullptr ? kNull : XK_OK; }

// Calls made in turn: the first failure's status and outputs, or XK_OK and all outputs.
struct Steps {
    Seen seen{XK_OK, ""};
    Steps &operator()(uint32_t st, const std::string &out) {
        if (seen.status == XK_OK) seen = {st, st == XK_OK ? show(seen.out, out).substr(seen.out.empty()) : out};
        return *this;
    }
};

char kShell[] = "/bin/sh", kDashC[] = "-c", kExit3[] = "exit 3";
char *const kArgv[] = {kShell, kDashC, kExit3, nullptr};
char *const kEnvp[] = {nullptr};

void *make_int() { return calloc(1, sizeof(int)); }
void *copy_int(const void *from) {
    void *copy = malloc(sizeof(int));
    return copy == nullptr ? nullptr : memcpy(copy, from, sizeof(int));
}

// Appends (0 attach, 1 add, 2 new) to `count` elements 0, 1, ... that fill the slots. A
// failure must leave the slots as they were; the elements keep their values either way.
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
        std::string out = slots() == before && col->count == count ? "as it was" : show("len", col->count - count);
        for (int32_t i = 0; i < count; ++i) out += *static_cast<int *>(col->elements[i]) == i ? "" : " lost";
        if (!ok || kind != 0) free(mine);
        xk_collection_free(col);
        return Seen{ok ? XK_OK : kNull, out};
    };
}

// Claims the pid file holding `content` (our pid for "self"; no file for NULL) under our own name.
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
    strcpy(sb.str, text);
    return sb;
}

// The appends log under their own name.
std::string append_funcs(Ctx &c) {
    std::string out;
    for (const auto &l : c.capture.lines()) out += l.func == "xk_util_strbuf_append_fv" ? "" : " from " + l.func;
    return out;
}

bool ignored(int sig) {
    struct sigaction now {};
    __real_sigaction(sig, nullptr, &now);
    return now.sa_handler == SIG_IGN;
}

void set_all_default() {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < 32; ++sig) __real_sigaction(sig, &dfl, nullptr);
}

}  // namespace

std::vector<Row> rows() {
    std::vector<Row> t;
    // --- formatting, duplicates, strbuf ---
    auto format = [](Ctx &c) {
        char *out = unset<char>(), buf[8], *a = nullptr, *b = nullptr, *d = nullptr;
        int err = -1, n = 0;
        xk_util_status st = c.run([&] {
            xk_util_status s = xk_util_asprintf(&out, &err, "%s-%d", "pid", 42);
            n = xk_util_snprintf(buf, sizeof buf, "%d", 1);
            a = xk_util_strndup("abcdef", 3);
            b = static_cast<char *>(xk_util_memdup("xyz", 3));
            d = static_cast<char *>(xk_util_memdup0("xyz", 3));
            return s;
        });
        return Steps{}(st, show(take(out), err))(n < 0 ? kNull : XK_OK, show(n))(nul(a), take(a))(
            nul(b), take(b, 3))(nul(d), take(d)).seen;
    };
    t.push_back({"format", kAlloc, 0,
                 {{kNoMem, "null -1", "xk_util_vasprintf"}, {kNull, "null"}, {kNull, "null"}, {kNull, "null"}},
                 {XK_OK, "pid-42 0 1 abc xyz xyz"}, format});
    t.push_back({"format", C::vsnprintf, EOVERFLOW,
                 {{kSys, "null -1", "xk_util_printf_vsize xk_util_vasprintf"},
                  {kSys, "null 75", "xk_util_vasprintf"}, {kNull, "-1"}},
                 {XK_OK, "pid-42 0 1 abc xyz xyz"}, format});
    auto strbuf = [](Ctx &c) {
        xk_util_strbuf *sb = nullptr, empty{}, full = buffer_with("", 8);
        const std::string text(200, 'x');
        int n = c.run([&] {
            sb = xk_util_strbuf_new(0);
            xk_util_strbuf_hexdump(&full, "P", "ABCDEFGHIJKLMNOPQRST", 20);
            return xk_util_strbuf_append_f(&empty, "%s", text.c_str());
        });
        std::string kept = empty.str == nullptr ? "null" : empty.str == text ? "all" : show(strlen(empty.str));
        Steps s = Steps{}(nul(sb), sb == nullptr ? "null" : show(sb->capacity));
        s(strlen(full.str) == 90 ? XK_OK : kNull, full.str)(n < 0 ? kNull : XK_OK, show(n, empty.capacity, kept));
        xk_util_strbuf_free(sb);
        free(full.str);
        free(empty.str);
        s.seen.out += append_funcs(c);
        return s.seen;
    };
    t.push_back({"strbuf", kAlloc, 0,
                 {{kNull, "null"}, {kNull, "null"},
                  {kNull, "P41 42 *\nP51 52 53 54 : QRST\n", "",
                   "Could not realloc strbuf to * | Error in strbuf"},
                  {kNull, "-1 0 null", "", "Alloc failed for strbuf | Error in strbuf"},
                  {kNull, "-1 128 127", "", "Could not realloc strbuf to 328 | Error in strbuf"}},
                 {XK_OK, "128 P41 42 43 44 45 46 47 48 - 49 4A 4B 4C 4D 4E 4F 50 : ABCDEFGHIJKLMNOP\nP51 52 53 54 : "
                         "QRST\n 200 328 all"},
                 strbuf});
    // A formatter that fails once makes the append double the storage and try again.
    t.push_back({"strbuf", C::vsnprintf, EOVERFLOW, {{XK_OK, "3 256 xabc"}}, {XK_OK, "3 128 xabc"}, [](Ctx &c) {
                     xk_util_strbuf sb = buffer_with("x", 128);
                     int n = c.run([&] { return xk_util_strbuf_append_f(&sb, "%s", "abc"); });
                     return Seen{XK_OK, show(n, sb.capacity, take(sb.str))};
                 }});
    // With any one growth failing, the dump leaves what its appends one by one would have left.
    t.push_back({"strbuf_hexdump", kAlloc, 0, {{kNull, "same", "", "*"}}, {XK_OK, "same"},
                 [](Ctx &c) {
                     unsigned char data[96];
                     for (int i = 0; i < 96; ++i) data[i] = static_cast<unsigned char>(0x20 + i);
                     xk_util_strbuf sb[2] = {buffer_with("", 8), buffer_with("", 8)};
                     auto dump = [&](xk_util_strbuf &b, auto how) {
                         how(&b, "P", data, sizeof data);
                         std::string out = show(b.capacity, take(b.str), append_funcs(c));
                         for (const auto &l : c.capture.lines()) out += "|" + l.text;
                         return out;
                     };
                     std::string ours = c.run([&] { return dump(sb[0], xk_util_strbuf_hexdump); });
                     bool injected = c.injected;
                     std::string theirs = c.run([&] { return dump(sb[1], xk::test::reference_hexdump); });
                     bool same = ours == theirs && injected == c.injected;
                     return Seen{injected ? kNull : XK_OK, same ? "same" : ours + "\n" + theirs};
                 },
                 -1});
    // The scratch starts at the buffer's capacity of 8, so the first ten-character replacement
    // makes it grow to 10 + 1 + 128; the record or its storage failing changes nothing.
    t.push_back({"strbuf_substitute", kAlloc, 0,
                 {{kNull, "0 a$Xb$X 8 same 77"}, {kNull, "0 a$Xb$X 8 same 77"},
                  {kNull, "5 a012345b0123456789 136 * 77", "", "Could not realloc strbuf to 139 | Error in strbuf"}},
                 {XK_OK, "16 a0123456789b0123456789 139 * 77"},
                 [](Ctx &c) {
                     xk_util_strbuf sb = buffer_with("a$Xb$X", 8, 77);
                     char *before = sb.str;
                     int n = c.run([&] { return xk_util_strbuf_substitute(&sb, "$X", 0, "%s", "0123456789"); });
                     bool same = sb.str == before;
                     std::string out = show(n, sb.str, sb.capacity, same ? "same" : "moved", sb.hex_limit);
                     free(sb.str);
                     return Seen{n == 16 ? XK_OK : kNull, out + append_funcs(c)};
                 }});
    // --- split, join, append ---
    t.push_back({"split", kAlloc, 0,
                 {{kNoMem, "null 3", "xk_util_split", "Memory allocation failed"},
                  {kNoMem, "null 3", "xk_util_split", "Failed to allocate memory"}},
                 {XK_OK, "3 bc"},
                 [](Ctx &c) {
                     char **fields = unset<char *>();
                     size_t count = 0;
                     xk_util_status st = c.run([&] { return xk_util_split("a,,bc,d,", ",", &fields, &count); });
                     if (st != XK_OK) return Seen{st, show(fields == nullptr ? "null" : "set", count)};
                     std::string out = show(count, fields[1]);
                     for (size_t i = 0; i < count; ++i) free(fields[i]);
                     free(fields);
                     return Seen{st, out};
                 },
                 4});
    t.push_back({"join", kAlloc, 0, {{kNoMem, "null 8", "xk_util_join"}}, {XK_OK, "a, b, c 8"}, [](Ctx &c) {
                     const char *strings[] = {"a", "b", "c"};
                     char *joined = unset<char>();
                     size_t size = 0;
                     xk_util_status st = c.run([&] { return xk_util_join(strings, 3, ", ", &joined, &size); });
                     return Seen{st, show(take(joined), size)};
                 }});
    // The caller's text and length stay as the failed append found them.
    t.push_back({"append_string", kAlloc, 0,
                 {{kNoMem, "null 0", "xk_util_append_string"}, {kNoMem, "abc 3", "xk_util_append_string"}},
                 {XK_OK, "abcde 5"}, [](Ctx &c) {
                     char *str = nullptr;
                     size_t len = 0;
                     xk_util_status st = c.run([&] {
                         xk_util_status first = xk_util_append_string(&str, &len, "abc", 3);
                         return first != XK_OK ? first : xk_util_append_string(&str, &len, "de", 2);
                     });
                     return Seen{st, show(take(str), len)};
                 }});
    // --- encodings and numbers ---
    t.push_back({"base64", kAlloc, 0, {{kNoMem, "null 8"}, {kNoMem, "null 6"}}, {XK_OK, "aGVsbG8= 8 hello 5"},
                 [](Ctx &c) {
                     char *text = unset<char>();
                     uint8_t *bytes = unset<uint8_t>();
                     size_t text_len = 0, len = 0;
                     xk_util_status st1, st2 = c.run([&] {
                         st1 = xk_util_base64_encode(reinterpret_cast<const uint8_t *>("hello"), 5, &text, &text_len);
                         return xk_util_base64_decode("aGVsbG8=", 8, &bytes, &len);
                     });
                     return Steps{}(st1, show(take(text, text_len), text_len))(st2, show(take(bytes, len), len)).seen;
                 }});
    t.push_back({"bytes", kAlloc, 0,
                 {{kNoMem, "null", "xk_util_sprintf_bytes", "Allocation failed"},
                  {kNoMem, "null", "xk_util_sscanf_bytes", "Allocation failed"},
                  {kNoMem, "null 3", "xk_util_char_to_wchar"},
                  {kNoMem, "null 16", "xk_util_map_bitstring_to_bytes", "Memory allocation failed"},
                  {kNoMem, "null 6", "xk_util_expand_byte_array", "Memory allocation failed"},
                  {kNoMem, "null 3 1 2.5 7.5", "xk_util_sum_init", "calloc() failed, N=4"}},
                 {XK_OK, "00ab7f \\x00\\xab\\x7f abc 3 set 16 set 6 set 4 0 0 0"}, [](Ctx &c) {
                     const uint8_t bytes[] = {0x00, 0xAB, 0x7F};
                     char *text = unset<char>();
                     uint8_t *decoded = unset<uint8_t>(), *bits = unset<uint8_t>(), *expanded = unset<uint8_t>();
                     wchar_t *wide = unset<wchar_t>();
                     size_t wide_len = 0, bits_len = 0, expanded_len = 0;
                     xk_util_sum sum{3, 1, reinterpret_cast<double *>(8), 2.5, 7.5};
                     xk_util_status st[6];
                     c.run([&] {
                         st[0] = xk_util_sprintf_bytes(bytes, 3, &text);
                         st[1] = xk_util_sscanf_bytes("00AB7f", 6, &decoded);
                         st[2] = xk_util_char_to_wchar("abc", 99, &wide, &wide_len);
                         st[3] = xk_util_map_bitstring_to_bytes(bytes + 1, 2, &bits, &bits_len);
                         st[4] = xk_util_expand_byte_array(bytes + 1, 2, 3, &expanded, &expanded_len);
                         return st[5] = xk_util_sum_init(&sum, 4);
                     });
                     bool abc = st[2] == XK_OK && wcscmp(wide, L"abc") == 0;
                     std::string sums = show(sum.buckets == nullptr ? "null" : "set", sum.n, sum.pos, sum.window, sum.total);
                     if (st[5] == XK_OK) xk_util_sum_free(&sum);
                     return Steps{}(st[0], take(text))(st[1], take(decoded, 3))(
                                st[2], show(abc ? (free(wide), std::string("abc")) : take(wide), wide_len))(
                                st[3], show(take(bits, 0), bits_len))(st[4], show(take(expanded, 0), expanded_len))(
                                st[5], sums)
                         .seen;
                 }});
    // --- collection and options ---
    t.push_back({"collection", kAlloc, 0, {{kNull, "null"}, {XK_OK, "(no name) 10"}}, {XK_OK, "name 10"},
                 [](Ctx &c) {
                     xk_collection *col = c.run([] { return xk_collection_new("name", make_int, copy_int, free); });
                     std::string out = col == nullptr ? "null" : show(col->name ? col->name : "(no name)", col->growth);
                     xk_collection_free(col);
                     return Seen{nul(col), out};
                 },
                 2});
    // The first slots, a fixed step, and the proportional step of a zero growth; attach
    // allocates only the slots, add and new their element first.
    for (auto [growth, count] : {std::pair{10, 0}, std::pair{2, 4}, std::pair{0, 3}})
        for (int kind : {0, 1, 2})
            t.push_back({"collection", kAlloc, 0, {{kNull, "as it was"}}, {XK_OK, "len 1"},
                         append_to(growth, count, kind), kind == 0 ? 1 : 2});
    // Options before the failure keep their values; later ones are not looked at.
    t.push_back({"getopt", kAlloc, 0,
                 {{kNoMem, "- 0 -", "xk_util_getopt_string process_option xk_util_getopt_from"},
                  {kNoMem, "alice 1 -", "xk_util_getopt_string process_option xk_util_getopt_from"}},
                 {XK_OK, "alice 1 /tmp"}, [](Ctx &c) {
                     char *name = nullptr, *dir = nullptr;
                     int verbose = 0;
                     xk_util_option table[] = {{'n', "name", xk_util_getopt_string, &name, 1},
                                               {'v', "verbose", xk_util_getopt_flag, &verbose, 0},
                                               {'d', "dir", xk_util_getopt_string, &dir, 1}};
                     char a0[] = "prog", a1[] = "--name", a2[] = "alice", a3[] = "-v", a4[] = "--dir", a5[] = "/tmp";
                     char *argv[] = {a0, a1, a2, a3, a4, a5};
                     xk_util_status st = c.run([&] { return xk_util_getopt(6, argv, table, 3); });
                     return Seen{st, show(name ? take(name) : "-", verbose, dir ? take(dir) : "-")};
                 }});
    // --- directories and the effective group ---
    auto directory = [](Ctx &c) {
        const std::string made = c.path("made"), read_only = c.path("read-only");
        std::filesystem::remove(made);
        std::filesystem::remove(read_only);
        int exists = 7;
        char *first = unset<char>(), *second = unset<char>();
        xk_util_dirscan_cursor *cursor = nullptr;
        xk_util_status st[4];
        c.run([&] {
            st[0] = xk_util_mkdir(made.c_str());
            st[1] = xk_util_mkdir_read_only(read_only.c_str());
            st[2] = xk_util_query_dir_exists(c.dir.c_str(), &exists);
            if ((cursor = xk_util_dirscan_begin(c.dir.c_str())) == nullptr) return 0;
            xk_util_dirscan(cursor);
            first = xk_dirscan_file_name(cursor);
            xk_util_dirscan(cursor);
            second = xk_dirscan_file_name(cursor);
            return 0;
        });
        if (cursor != nullptr) xk_util_dirscan_end(cursor);
        return Steps{}(st[0], show(std::filesystem::exists(made)))(st[1], show(std::filesystem::exists(read_only)))(
                   st[2] == XK_OK && exists == 1 ? XK_OK : st[2] | kNull, show(exists))(
                   cursor == nullptr || first == nullptr ? kNull : XK_OK, show(cursor ? "cursor" : "null", take(first)))(
                   XK_OK, take(second))
            .seen;
    };
    t.push_back({"directory", C::mkdir, ENOSPC,
                 {{kSys, "0", "xk_util_mkdir"},
                  {kSys, "0", "xk_util_mkdir_read_only",
                   "Failed to create directory {D}/read-only  Reason: No space left on device @src/directory/linux"}},
                 {XK_OK, "1 1 1 cursor A b"}, directory});
    t.push_back({"directory", C::opendir, EACCES,
                 {{kNull, "0", "", "Error checking directory {D} existence  Reason: Permission denied @src/directory/linux"}},
                 {XK_OK, "1 1 1 cursor A b"}, directory});
    t.push_back({"directory", C::opendir, ENOENT, {{kNull, "0"}}, {XK_OK, "1 1 1 cursor A b"}, directory});
    t.push_back({"directory", C::scandir, EMFILE,
                 {{kNull, "null unset", "", "Failed to scan directory {D}  Reason: Too many open files @src/directory/linux"}},
                 {XK_OK, "1 1 1 cursor A b"}, directory});
    // The scan goes on past a name that could not be copied.
    t.push_back({"directory", kAlloc, 0,
                 {{kNull, "null unset", "", "Failed to allocate memory"},
                  {kNull, "cursor null", "", "Failed to allocate memory"},
                  {XK_OK, "1 1 1 cursor A null", "", "Failed to allocate memory"}},
                 {XK_OK, "1 1 1 cursor A b"}, directory});
    // The group we already have, so that the lookup and the switch succeed when nothing fails.
    auto egid = [](Ctx &c) {
        struct group *g = getgrgid(getegid());
        gid_t before = getegid();
        std::string name = g == nullptr ? "" : g->gr_name;
        xk_util_status st = c.run([&] { return name.empty() ? XK_OK : ensure_egid(name.c_str()); });
        return Seen{st, getegid() == before ? "kept" : "moved"};
    };
    t.push_back({"ensure_egid", C::sysconf, EINVAL,
                 {{kSys, "kept", "ensure_egid", "Failed to query group structure size  Reason: Invalid argument @src/permissions/permissions_linux"}},
                 {XK_OK, "kept"}, egid});
    t.push_back({"ensure_egid", C::getgrnam_r, EIO,
                 {{kSys, "kept", "ensure_egid", "Failed to query group * data  Reason: Input/output error @src/permissions/permissions_linux"}},
                 {XK_OK, "kept"}, egid});
    t.push_back({"ensure_egid", C::setegid, EPERM,
                 {{kSys, "kept", "ensure_egid", "Failed to update effective gid for group *  Reason: Operation not permitted @src/permissions/permissions_linux"}},
                 {XK_OK, "kept"}, egid});
    t.push_back({"ensure_egid", kAlloc, 0, {{kNoMem, "kept", "ensure_egid", "Failed to allocate * byte buffer"}},
                 {XK_OK, "kept"}, egid});
    // --- time: each clock or conversion failing in turn leaves the outputs as they were ---
    auto time = [](Ctx &c) {
        const struct timespec later = {std::numeric_limits<time_t>::max() / 2, 0};
        struct timespec deadline = {123, 456};
        struct timeval tv = {1, 2};
        struct tm broken;
        char left[64] = "x", now[32] = "x";
        size_t now_len = sizeof now;
        int expired = 7, err = 0;
        uint64_t clocks[3];
        xk_util_status st[6];
        struct tm *converted = c.run([&] {
            st[0] = xk_util_future_timeout(&deadline, 5, 1);
            st[1] = xk_util_query_timeout_expired(&later, &expired);
            st[2] = xk_util_query_timeout_left(&later, left, sizeof left);
            clocks[0] = xk_util_timer_point();
            st[3] = xk_util_future_time(10, &tv);
            clocks[1] = xk_util_walltime_msec();
            clocks[2] = xk_util_walltime_usec();
            st[4] = xk_util_now_str(now, &now_len, &err);
            st[5] = xk_util_get_broken_down_time(&broken);
            time_t zero = 0;
            return xk_util_localtime_r(&zero, &broken);
        });
        auto clock = [&](int i) { return clocks[i] == 0 ? kNull : XK_OK; };
        Steps s;
        s(st[0], deadline.tv_sec == 123 ? "kept" : "set")(st[1], show(expired))(st[2], left[0] == 'x' ? "x" : "text");
        s(clock(0), show(clocks[0] != 0))(st[3], tv.tv_sec == 1 ? "kept" : "set")(clock(1), show(clocks[1] != 0));
        s(clock(2), show(clocks[2] != 0))(st[4], show(now[0] == 'x' ? "x" : "text", now_len, err))(st[5], "");
        return s(nul(converted), converted ? "tm" : "null").seen;
    };
    const char *time_ok = "set 0 text 1 set 1 1 text 24 0  tm";
    t.push_back({"time", C::clock_gettime, EINVAL,
                 {{kSys, "kept", "xk_util_future_timeout", "Failed to get current time."},
                  {kSys, "7", "xk_util_query_timeout_expired"},
                  {kSys, "x", "xk_util_query_timeout_left", "Failed to get current time."}, {kNull, "0"}},
                 {XK_OK, time_ok}, time});
    t.push_back({"time", C::gettimeofday, EFAULT,
                 {{kSys, "kept", "xk_util_future_time"}, {kNull, "0"}, {kNull, "0"}}, {XK_OK, time_ok}, time});
    t.push_back({"time", C::time, EOVERFLOW,
                 {{kSys, "x 32 75", "xk_util_now_str"}, {kSys, "", "xk_util_get_broken_down_time", "Failed to read time"}},
                 {XK_OK, time_ok}, time});
    t.push_back({"time", C::localtime_r, EOVERFLOW,
                 {{kSys, "", "xk_util_get_broken_down_time", "Failed to unpick time"}, {kNull, "null"}},
                 {XK_OK, time_ok}, time});
    // --- descriptor I/O and paths ---
    auto files = [](Ctx &c) {
        const std::string src = c.path("src.txt"), cut = c.path("cut"), gone = c.path("gone");
        std::ofstream(cut) << kSrc;
        std::ofstream(gone) << kSrc;
        int in = ::open(src.c_str(), O_RDONLY), counted = ::open(src.c_str(), O_RDONLY);
        int out = ::open(c.path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        lseek(counted, 4, SEEK_SET);
        int fd = -7, exists = 7, e[6] = {0};
        char *buf = unset<char>();
        int64_t size = -1, file_size = -1;
        uint64_t count = 99;
        xk_util_status st[8];
        c.run([&] {
            st[0] = xk_util_open(&fd, &e[0], O_RDONLY, 0, "%s/%s", c.dir.c_str(), "src.txt");
            st[1] = xk_util_read_file(in, &buf, &size, &e[1]);
            st[2] = xk_util_count_lines(counted, &count, &e[2]);
            st[3] = xk_util_whole_write(out, "abc", 3, &e[3]);
            st[4] = xk_util_get_file_size(src.c_str(), &file_size);
            st[5] = xk_util_truncate_file(cut.c_str(), 2, &e[4]);
            st[6] = xk_util_delete_file(gone.c_str(), &e[5]);
            return st[7] = xk_util_query_file_exists(src.c_str(), &exists);
        });
        Steps s;
        s(st[0], show(fd >= 0 ? (close(fd), "fd") : std::to_string(fd), e[0]))(st[1], show(take(buf), size, e[1]));
        s(st[2], show(count, lseek(counted, 0, SEEK_CUR), e[2]))(st[3], show(e[3], read_text(c.path("out"))));
        s(st[4], show(file_size))(st[5], show(e[4], read_text(cut)))(st[6], show(e[5], read_text(gone)));
        for (int fd_ : {in, counted, out}) close(fd_);
        return s(st[7], show(exists)).seen;
    };
    const char *files_ok = "fd 0 one\ntwo\nthree\n 14 0 3 4 0 0 abc 14 0 on 0 none 1";
    t.push_back({"files", kAlloc, 0,
                 {{kNoMem, "-7 0", "xk_util_vasprintf"}, {kNoMem, "null 14 12", "xk_util_read_file"}},
                 {XK_OK, files_ok}, files});
    t.push_back({"files", C::vsnprintf, EOVERFLOW,
                 {{kSys, "-7 0", "xk_util_printf_vsize xk_util_vasprintf"}, {kSys, "-7 75", "xk_util_vasprintf"}},
                 {XK_OK, files_ok}, files});
    t.push_back({"files", C::open, EIO, {{kSys, "-1 5", "xk_util_open"}, {kSys, "-1", "xk_util_get_file_size"}},
                 {XK_OK, files_ok}, files});
    t.push_back({"files", C::fstat, EIO,
                 {{kSys, "unset -1 5", "xk_util_read_file"}, {kSys, "99 4 5", "xk_util_count_lines"},
                  {kSys, "-1", "xk_util_get_file_size"}},
                 {XK_OK, files_ok}, files});
    // A failed read is not a failure of a call whose errno the caller asked for.
    t.push_back({"files", C::read, EIO,
                 {{kSys, "null 14 0", "xk_util_read_file"}, {kSys, "* 4 5", "xk_util_count_lines"}},
                 {XK_OK, files_ok}, files});
    // Saving the offset, rewinding, and putting it back; nothing is counted before the rewind.
    t.push_back({"files", C::lseek, EIO,
                 {{kSys, "99 4 5", "xk_util_count_lines"}, {kSys, "99 4 5", "xk_util_count_lines"},
                  {kSys, "* 14 5", "xk_util_count_lines"}},
                 {XK_OK, files_ok}, files});
    t.push_back({"files", C::write, ENOSPC, {{kSys, "28 ", "xk_util_whole_write"}}, {XK_OK, files_ok}, files});
    t.push_back({"files", C::truncate, EROFS, {{kSys, "30 src", "xk_util_truncate_file"}}, {XK_OK, files_ok}, files});
    t.push_back({"files", C::unlink, EROFS, {{kSys, "30 src", "xk_util_delete_file"}}, {XK_OK, files_ok}, files});
    // stat failing for a reason other than a missing file is a failure; ENOENT is an answer.
    t.push_back({"files", C::stat, EIO, {{kSys, "7", "xk_util_query_file_exists"}}, {XK_OK, files_ok}, files});
    t.push_back({"files", C::stat, ENOENT, {{XK_OK, "fd 0 one\ntwo\nthree\n 14 0 3 4 0 0 abc 14 0 on 0 none 0"}}, {XK_OK, files_ok},
                 files});
    // --- named files, durable sync and paths ---
    auto named = [](Ctx &c) {
        const std::string src = c.path("src.txt"), dst = c.path("dst"), copy = c.path("copy");
        std::filesystem::remove(dst);
        std::filesystem::remove(copy);
        FILE *appended = fopen(c.path("log").c_str(), "ab"), *opened = unset<FILE>();
        fputs("x", appended);
        char *buf = unset<char>(), *plain = unset<char>(), *nested = unset<char>(), *abs = unset<char>();
        size_t size = 0;
        int err = 0;
        xk_util_status st[9];
        c.run([&] {
            st[0] = xk_util_fopen(&opened, &err, "rb", "%s", src.c_str());
            st[1] = xk_util_read_named_file(src.c_str(), &buf, &size, nullptr);
            st[2] = xk_util_write_named_file(dst.c_str(), 1, "payload", 7, nullptr);
            st[3] = xk_util_sync(appended, c.dir.c_str());
            st[4] = xk_util_sync_file(src.c_str());
            st[5] = xk_util_get_directory_component("plain-name", &plain);
            st[6] = xk_util_get_directory_component("/tmp/a/b", &nested);
            st[7] = xk_util_abs_path("/.", &abs);
            return st[8] = xk_util_copy_file(src.c_str(), copy.c_str());
        });
        fclose(appended);
        Steps s;
        const bool stream = opened != nullptr && opened != unset<FILE>();
        s(st[0], show(stream ? (fclose(opened), "stream") : opened ? "unset" : "null", err))(st[1], take(buf, size));
        s(st[2], read_text(dst))(st[3], "")(st[4], "")(st[5], take(plain))(st[6], take(nested))(st[7], take(abs));
        return s(st[8], read_text(copy)).seen;
    };
    const char *named_ok = "stream 0 one\ntwo\nthree\n payload   plain-name /tmp/a / src";
    const char *in_sync = "xk_util_sync xk_util_write_named_file";
    t.push_back({"named", kAlloc, 0,
                 {{kNoMem, "unset 0", "xk_util_vasprintf xk_util_fopen"},
                  {kNoMem, "null", "xk_util_read_named_file"},
                  {kNoMem, "none", "xk_util_get_directory_component xk_util_write_named_file",
                   "Memory allocation error  Reason: Cannot allocate memory @src/string/directory_linux"},
                  {kNoMem, "", "xk_util_get_directory_component xk_util_sync_file",
                   "Memory allocation error  Reason: Cannot allocate memory @src/string/directory_linux | Failed to get directory component"},
                  {kNoMem, "null", "xk_util_get_directory_component",
                   "Memory allocation for path plain-name  Reason: Cannot allocate memory @src/string/directory_linux"},
                  {kNoMem, "null", "xk_util_get_directory_component",
                   "Memory allocation error  Reason: Cannot allocate memory @src/string/directory_linux"},
                  {kNoMem, "none", "xk_util_read_named_file"},
                  {kNoMem, "none", "xk_util_get_directory_component xk_util_write_named_file",
                   "Memory allocation error  Reason: Cannot allocate memory @src/string/directory_linux"}},
                 {XK_OK, named_ok}, named});
    const char *get_size = "xk_util_get_file_size xk_util_read_named_file";
    t.push_back({"named", C::open, EIO,
                 {{kSys, "unset", get_size}, {kSys, "payload", in_sync}, {kSys, "", "xk_util_sync"},
                  {kSys, "", "xk_util_sync_file",
                   "Failed to open file {D}/src.txt  Reason: Input/output error @src/file/posix_fsync"},
                  {kSys, "", "xk_util_sync_file",
                   "Failed to open directory {D}  Reason: Input/output error @src/file/posix_fsync"},
                  {kSys, "none", get_size}, {kSys, "src", in_sync}},
                 {XK_OK, named_ok}, named});
    t.push_back({"named", C::fopen, EMFILE,
                 {{kSys, "unset 24", "xk_util_fopen"}, {kSys, "unset", "xk_util_read_named_file"},
                  {kSys, "none", "xk_util_write_named_file"}, {kSys, "none", "xk_util_read_named_file"},
                  {kSys, "none", "xk_util_write_named_file"}},
                 {XK_OK, named_ok}, named});
    t.push_back({"named", C::fread, EIO,
                 {{kSys, "null", "xk_util_read_named_file"}, {kSys, "none", "xk_util_read_named_file"}},
                 {XK_OK, named_ok}, named});
    t.push_back({"named", C::fwrite, ENOSPC,
                 {{kSys, "", "xk_util_write_named_file"}, {kSys, "", "xk_util_write_named_file"}},
                 {XK_OK, named_ok}, named});
    t.push_back({"named", C::fflush, EIO,
                 {{kSys, "payload", in_sync}, {kSys, "", "xk_util_sync"}, {kSys, "src", in_sync}},
                 {XK_OK, named_ok}, named});
    t.push_back({"named", C::fsync, EIO,
                 {{kSys, "payload", in_sync}, {kSys, "payload", in_sync}, {kSys, "", "xk_util_sync"},
                  {kSys, "", "xk_util_sync"},
                  {kSys, "", "xk_util_sync_file", "Failed to sync file {D}/src.txt  Reason: Input/output error @src/file/posix_fsync"},
                  {kSys, "", "xk_util_sync_file", "Failed to sync directory file {D}  Reason: Input/output error @src/file/posix_fsync"},
                  {kSys, "src", in_sync}, {kSys, "src", in_sync}},
                 {XK_OK, named_ok}, named});
    // A failing close changes no outcome and still releases the stream.
    t.push_back({"named", C::fclose, EIO, {{XK_OK, named_ok}}, {XK_OK, named_ok}, named, 4});
    t.push_back({"named", C::realpath, ELOOP,
                 {{kSys, "null", "xk_util_abs_path",
                   "Cannot determine absolute file path from relative path /.  Reason: Too many levels of symbolic links @src/string/directory_linux"}},
                 {XK_OK, named_ok}, named});
    // --- children ---
    for (bool combined : {false, true}) {
        auto spawn = [combined](Ctx &c) {
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
        const char *chain = combined ? "xk_spawn xk_spawn_and_wait" : "xk_spawn";
        t.push_back({"spawn", kAlloc, 0, {{kNoMem, combined ? "unset -7 0" : "null -7 0", chain}},
                     {XK_OK, combined ? "unset 3 1" : "handle 3 1"}, spawn});
        t.push_back({"spawn", C::fork, EAGAIN, {{kSys, combined ? "unset -7 1" : "null -7 1", chain}},
                     {XK_OK, combined ? "unset 3 1" : "handle 3 1"}, spawn});
    }
    // A failed wait keeps the handle for another wait; through the combined call the child is
    // left to reap; the deadline wait gives up at its first failed poll.
    auto wait = [](Ctx &c) {
        xk_proc_handle *handle = nullptr, *waited = nullptr;
        int code = -7, combined = -7, status = 0;
        xk_spawn(kArgv, kEnvp, &handle);
        xk_spawn(kArgv, kEnvp, &waited);
        siginfo_t info;
        waitid(P_PID, static_cast<id_t>(waited->pid), &info, WEXITED | WNOWAIT);  // ended, not yet reaped
        xk_proc_handle *spawned = handle;
        xk_util_status st[3];
        c.run([&] {
            st[0] = xk_wait(&handle, &code);
            st[1] = xk_spawn_and_wait(kArgv, kEnvp, &combined);
            return st[2] = xk_util_await_child_timeout(waited->pid, 5);
        });
        std::string kept = handle == nullptr ? "null" : handle == spawned ? "kept" : "moved";
        if (handle != nullptr) xk_wait(&handle, &code);
        bool await_left = st[2] != XK_OK && waitpid(waited->pid, &status, 0) > 0;
        bool left = waitpid(-1, &status, 0) > 0;
        xk_free_proc_handle(&waited);
        return Steps{}(st[0], show(kept, code))(st[1], show(combined, left ? "left" : "none"))(
                   st[2], await_left ? "left" : "none")
            .seen;
    };
    t.push_back({"wait", C::waitpid, ECHILD,
                 {{kSys, "kept 3", "xk_wait", "Failed to wait on process *  Reason: No child processes @src/process/spawn_linux"},
                  {kSys, "-7 left", "xk_wait", "Failed to wait on process *  Reason: No child processes @src/process/spawn_linux"},
                  {kSys, "left", "xk_util_await_child_timeout",
                   "Failed to wait for child process * to end  Reason: No child processes @src/process_ops"}},
                 {XK_OK, "null 3 3 none none"}, wait});
    // --- signals: a failed change is logged, not traced, and changes nothing ---
    t.push_back({"signals", C::sigaction, EINVAL,
                 {{kSys, "0", "", "Failed to set ignore signal User defined signal 1 (10)  Reason: Invalid argument @src/process_ops"},
                  {kSys, "1", "", "Failed to reset signal User defined signal 2 (12)  Reason: Invalid argument @src/process_ops"}},
                 {XK_OK, "1 0"}, [](Ctx &c) {
                     set_all_default();
                     struct sigaction ignore {};
                     ignore.sa_handler = SIG_IGN;
                     __real_sigaction(SIGUSR2, &ignore, nullptr);
                     xk_util_status st[2];
                     c.run([&] { return st[0] = xk_util_ignore_signal(SIGUSR1), st[1] = xk_util_reset_signal(SIGUSR2); });
                     return Steps{}(st[0], show(ignored(SIGUSR1)))(st[1], show(ignored(SIGUSR2))).seen;
                 }});
    // Ignoring the common signals goes on past a failure: all but the failed one end up ignored.
    t.push_back({"signals", C::sigaction, EINVAL,
                 {{kSys, "in turn", "", "Failed to set ignore signal * (*)  Reason: Invalid argument @src/process_ops"}},
                 {XK_OK, "in turn"}, [](Ctx &c) {
                     set_all_default();
                     xk_util_status st = c.run([] { return xk_util_ignore_common_signals(); });
                     std::string missed;
                     for (int sig = 1; sig < 32; ++sig)
                         if (!ignored(sig) && sig != SIGKILL && sig != SIGTERM && sig != SIGSTOP) missed += show(sig);
                     int failed = 0;  // the nth signal asked for
                     for (long asked = -1; asked < c.n;) asked += ++failed != SIGKILL && failed != SIGTERM && failed != SIGSTOP;
                     std::string named = show(strsignal(failed), "(" + std::to_string(failed) + ")");
                     bool in_turn = !c.injected || (missed == show(failed) && c.capture.lines().size() == 1 &&
                                                    c.capture.lines()[0].text.find(named) != std::string::npos);
                     return Seen{st, in_turn ? "in turn" : missed};
                 },
                 28});
    // --- environment and host ---
    auto env = [](Ctx &c) {
        const char *name = "XK_FAULT_ENV_PROBE";
        unsetenv(name);
        xk_util_status st[2];
        char *value = nullptr, *host = nullptr;
        c.run([&] {
            st[0] = xk_util_setenv(name, "v");
            value = xk_util_getenv(name);
            host = xk_util_get_hostname();
            return st[1] = xk_util_unsetenv(name);
        });
        std::string left = getenv(name) ? getenv(name) : "-";
        unsetenv(name);
        return Steps{}(st[0], left)(nul(value), take(value))(nul(host), host ? (free(host), "host") : "null")(st[1], left).seen;
    };
    t.push_back({"env", C::setenv, ENOMEM, {{kSys, "-", "xk_util_setenv", "Failed to set environment variable: Cannot allocate memory @src/env/linux"}},
                 {XK_OK, "- v host -"}, env});
    t.push_back({"env", C::unsetenv, EINVAL, {{kSys, "v", "xk_util_unsetenv", "Failed to unset environment variable: Invalid argument @src/env/linux"}},
                 {XK_OK, "- v host -"}, env});
    t.push_back({"env", kAlloc, 0, {{kNull, "null"}}, {XK_OK, "- v host -"}, env, 2});
    t.push_back({"env", C::sysconf, EINVAL, {{kNull, "null"}}, {XK_OK, "- v host -"}, env});
    // --- process lookup and statistics ---
    // Processes come and go while the row runs, so the lookup names the point it met: the
    // filter's path (the entry is skipped), the id array, or the loop's path (the array stays
    // with the caller).
    t.push_back({"pid_of", kAlloc, 0,
                 {{XK_OK, "skipped", "xk_util_vasprintf:2 vet_possible_directory:2", "Failed to allocate path"},
                  {kNoMem, "null 12345", "xk_util_pid_of", "Failed to allocate memory"},
                  {kNoMem, "kept 12345", "xk_util_vasprintf xk_util_pid_of", "Failed to allocate path"}},
                 {XK_OK, "found"}, [](Ctx &c) {
                     const std::string name = own_name();
                     unsigned int *pids = unset<unsigned int>(), count = 12345;
                     xk_util_status st = c.run([&] { return xk_util_pid_of(name.c_str(), 0, &pids, &count); });
                     bool logged = !c.capture.lines().empty();
                     std::string kept = pids == nullptr ? "null" : pids == unset<unsigned int>() ? "unset" : (free(pids), "kept");
                     if (st == XK_OK) return Seen{st, logged ? "skipped" : count >= 1 ? "found" : "none", logged ? 0 : -1};
                     return Seen{st, show(kept, count), pids == nullptr ? 1 : 2};
                 },
                 -1});
    t.push_back({"pid_of", C::scandir, EACCES,
                 {{kSys, "12345", "xk_util_pid_of", "Failed to open /proc  Reason: Permission denied @src/process_ops"}},
                 {XK_OK, "*"}, [](Ctx &c) {
                     unsigned int count = 12345;
                     xk_util_status st = c.run([&] { return xk_util_pid_of(own_name().c_str(), 0, nullptr, &count); });
                     return Seen{st, show(count)};
                 }});
    // The record is cleared before the file is opened; the line buffer is getline's own.
    auto stat = [](Ctx &c) {
        xk_util_proc_stat_record record;
        memset(&record, 0xA5, sizeof record);
        xk_util_status st = c.run([&] { return xk_util_proc_stat(&record, 0); });
        return Seen{st, show(record.pid == getpid() ? "self" : std::to_string(record.pid), record.delayacct_blkio_ticks)};
    };
    t.push_back({"proc_stat", C::fopen, ENOENT, {{XK_ERR_NOT_FOUND, "0 0", "xk_util_proc_stat"}}, {XK_OK, "self *"}, stat});
    t.push_back({"proc_stat", C::getline, ENOMEM,
                 {{XK_ERR_READ, "0 0", "xk_util_proc_stat", "getline() failed  Reason: Cannot allocate memory @src/system/linux"}},
                 {XK_OK, "self *"}, stat});
    // --- pid file: every step's failure is passed on, the lock given back and the file kept ---
    const char *read_nomem = "xk_util_read_named_file xk_util_claim_pid_file";
    t.push_back({"claim", kAlloc, 0,
                 {{kNoMem, "7 self unlocked", read_nomem},
                  {kNoMem, "7 self unlocked", "xk_util_vasprintf map_pid_to_exe xk_util_claim_pid_file"},
                  {kNoMem, "7 self unlocked", "map_pid_to_exe xk_util_claim_pid_file"}},
                 {XK_ERR_ALREADY_RUNNING, "self self unlocked", "xk_util_claim_pid_file"}, claim("self")});
    t.push_back({"claim", kAlloc, 0,  // a pid no process can have
                 {{kNoMem, "7 4194305 unlocked", read_nomem},
                  {kNoMem, "7 4194305 unlocked", "xk_util_vasprintf map_pid_to_exe xk_util_claim_pid_file"}},
                 {XK_OK, "7 self unlocked"}, claim("4194305")});
    t.push_back({"claim", kAlloc, 0, {{kNoMem, "7  unlocked", read_nomem}}, {XK_OK, "7 self unlocked"}, claim("")});
    t.push_back({"claim", C::open, EIO,
                 {{kSys, "7 self unlocked", "xk_util_claim_pid_file", "Cannot access pid file {D}/run.pid  Reason: Input/output error @src/process/pid_file_linux"},
                  {kSys, "7 self unlocked", "xk_util_claim_pid_file", "Failed to open pid file {D}/run.pid  Reason: Input/output error @src/process/pid_file_linux"},
                  {kSys, "7 self unlocked", "xk_util_get_file_size xk_util_read_named_file xk_util_claim_pid_file"},
                  {kSys, "7 self unlocked", "map_pid_to_exe xk_util_claim_pid_file"}},
                 {XK_ERR_ALREADY_RUNNING, "self self unlocked", "xk_util_claim_pid_file"}, claim("self")});
    // Permission to create is refused quietly.
    t.push_back({"claim", C::open, EACCES, {{XK_ERR_ACCESS, "7 none unlocked", "xk_util_claim_pid_file"}},
                 {XK_OK, "7 self unlocked"}, claim(nullptr)});
    // A held lock fails the claim at once; a failed unlock changes no outcome.
    t.push_back({"claim", C::flock, EWOULDBLOCK,
                 {{kSys, "7 self unlocked", "xk_util_claim_pid_file", "Failed to lock PID file {D}/run.pid  Reason: Resource temporarily unavailable @src/process/pid_file_linux"},
                  {XK_ERR_ALREADY_RUNNING, "self self unlocked", "xk_util_claim_pid_file"}},
                 {XK_ERR_ALREADY_RUNNING, "self self unlocked", "xk_util_claim_pid_file"}, claim("self")});
    // A new file is created and written; only the writer's open is traced.
    for (auto [call, line] : {std::pair{C::fopen, "Failed to open pid file"}, {C::fflush, "Failed to flush written pid file"},
                              {C::fclose, "Failed to close written pid file"}}) {
        std::string text = std::string(line) + " {D}/run.pid  Reason: No space left on device @src/process/pid_file_linux";
        t.push_back({"claim", call, ENOSPC, {{kSys, "7 *", call == C::fopen ? "write_pid_file" : "", text}},
                     {XK_OK, "7 self unlocked"}, claim(nullptr)});
    }
    return t;
}

}  // namespace xk::fault
