/* SPDX-License-Identifier: MIT */
/* A short tour of libxkutil, written in C to show that the headers serve C callers. */
#define _POSIX_C_SOURCE 200809L /* mkdtemp, unlink, rmdir */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "xk/xkutil.h"

static void tour_foundation(void) {
    char *text = NULL;
    int err = -1;
    xk_util_status st = xk_util_asprintf(&text, &err, "%s has %d families", "libxkutil", 8);
    printf("asprintf: status %u, errno %d, \"%s\"\n", st, err, text);
    xk_util_free((void **)&text);

    char small[4];
    printf("snprintf into 4 bytes: %d (cut), into 4 bytes \"ab\": %d\n",
           xk_util_snprintf(small, sizeof small, "%s", "abcdef"),
           xk_util_snprintf(small, sizeof small, "%s", "ab"));

    char *copy = xk_util_memdup0("abc", 3);
    printf("memdup0: \"%s\", strnlen(\"abcdef\", 4) = %zu, strcasecmp(\"XK\", \"xk\") = %d\n", copy,
           xk_util_strnlen("abcdef", 4), xk_util_strcasecmp("XK", "xk"));
    free(copy);

    st = xk_util_asprintf(NULL, NULL, "%d", 1);
    printf("asprintf with a NULL out: status %u (XK_ERR_NULL_ARG)\n", st);
}

static void tour_encoding(void) {
    const char *plain = "libxkutil";
    char *text = NULL;
    size_t text_len = 0;
    xk_util_status st = xk_util_base64_encode((const uint8_t *)plain, strlen(plain), &text, &text_len);
    printf("base64: \"%s\" -> \"%.*s\" (status %u, %zu characters, no terminator)\n", plain, (int)text_len,
           text, st, text_len);
    uint8_t *back = NULL;
    size_t back_len = 0;
    st = xk_util_base64_decode(text, text_len, &back, &back_len);
    printf("base64 back: \"%.*s\" (status %u, %zu bytes); \"Zm9v\\nYmFy\" decodes ", (int)back_len,
           (const char *)back, st, back_len);
    free(back);
    free(text);
    xk_util_base64_decode("Zm9v\nYmFy", 9, &back, &back_len);
    printf("to \"%.*s\"\n", (int)back_len, (const char *)back);
    free(back);

    uint64_t hash = 0;
    st = xk_util_hash64("abc", 3, &hash);
    printf("hash64(\"abc\") = 0x%016llx (status %u); length 0 gives status %u\n", (unsigned long long)hash,
           st, xk_util_hash64("abc", 0, &hash));

    xk_util_prng_state prng;
    xk_util_seed_prng(&prng, 1, 0);
    uint64_t draws[3];
    xk_util_prng_batch(&prng, draws, 3);
    printf("prng seed 1: 0x%016llx 0x%016llx 0x%016llx\n", (unsigned long long)draws[0],
           (unsigned long long)draws[1], (unsigned long long)draws[2]);

    uint8_t bits[] = {0x12, 0x34, 0x56};
    size_t bits_len = sizeof bits;
    xk_util_shift_bitstring_left(bits, &bits_len, 12);
    printf("12 34 56 shifted left 12 bits: %02x %02x (length %zu)\n", bits[0], bits[1], bits_len);

    printf(
        "overflow: 46341 * 46341 in int32 %s, 2^32 * (2^32 - 1) in uint64 %s; round_up_power_2(1000) = "
        "%llu\n",
        xk_util_check_multiply_overflow_i32(46341, 46341) ? "overflows" : "fits",
        xk_util_check_multiply_overflow_u64(4294967296ull, 4294967295ull) ? "overflows" : "fits",
        (unsigned long long)round_up_power_2(1000));

    xk_util_sum sum;
    if (xk_util_sum_init(&sum, 3) == XK_OK) {
        xk_util_sum_inc(&sum, 1);
        xk_util_sum_next(&sum);
        xk_util_sum_inc(&sum, 2);
        xk_util_sum_next(&sum);
        xk_util_sum_inc(&sum, 4);
        xk_util_sum_next(&sum);
        printf("sum over 3 buckets of 1, 2, 4: window %g, total %g\n", xk_util_sum_get(&sum),
               xk_util_sum_get_total(&sum));
        xk_util_sum_free(&sum);
    }
}

static void *tour_new_word(void) { return calloc(16, 1); }
static void *tour_copy_word(const void *word) { return xk_util_strndup((const char *)word, 15); }
static void tour_free_word(void *word) { free(word); }

static void tour_collection(void) {
    xk_collection *words = xk_collection_new("words", tour_new_word, tour_copy_word, tour_free_word);
    xk_collection_element_add(words, "alpha");
    xk_collection_element_add(words, "beta");
    char *fresh = xk_collection_element_new(words);
    if (fresh != NULL) strcpy(fresh, "gamma");
    printf("collection: %d elements, capacity %d:", (int)xk_collection_len(words), (int)words->capacity);
    for (int32_t i = 0; i < xk_collection_len(words); ++i)
        printf(" %s", (char *)xk_collection_element(words, i));
    printf("\ncollection: element 3 is %s, attach NULL is %s\n",
           xk_collection_element(words, 3) ? "set" : "NULL",
           xk_collection_element_attach(words, NULL) ? "true" : "false");
    xk_collection_free(words);
}

static void tour_options(void) {
    /* The command line a user might have typed. */
    char *argv[] = {"tour", "-v", "--count", "5", "--name", "demo", "extra.txt"};
    int argc = (int)(sizeof argv / sizeof argv[0]);
    int verbose = 0, count = 0;
    char *name = NULL;
    xk_util_option table[] = {
        {'v', "verbose", xk_util_getopt_flag, &verbose, 0},
        {'n', "count", xk_util_getopt_int, &count, 1},
        {'s', "name", xk_util_getopt_string, &name, 1},
    };
    xk_util_status st = xk_util_getopt(argc, argv, table, 3);
    printf("options: status %u, verbose %d, count %d, name \"%s\"\n", st, verbose, count, name);
    free(name);

    char *other[] = {"tour", "--count=7", "-x", "-n", "-2"};
    st = xk_util_getopt(5, other, table, 3);
    printf("options: \"--count=7 -x -n -2\": status %u, count %d (--count=7 and -x are passed over)\n", st,
           count);
}

static void tour_files(void) {
    extern int close(int fd); /* POSIX, declared here so the tour needs no further header */
    const char *dir = "/tmp/xkutil-tour-files";
    const char *path = "/tmp/xkutil-tour-files/notes.txt";
    const char *copy = "/tmp/xkutil-tour-files/copy.txt";
    char *buf = NULL;
    char *part = NULL;
    char *name;
    size_t size = 0;
    uint64_t lines = 0;
    int fd = -1;
    xk_util_status st;
    xk_util_dirscan_cursor *cursor;

    remove(copy); /* leftovers of an earlier run */
    remove(path);
    remove(dir);
    st = xk_util_mkdir(dir);
    printf("mkdir %s: status %u\n", dir, st);

    st = xk_util_write_named_file(path, 1, "one\ntwo\n", 8, NULL);
    printf("durable write (file fsynced, then its directory): status %u\n", st);
    st = xk_util_write_named_file(path, 0, "three\n", 6, NULL);
    printf("durable append: status %u\n", st);

    st = xk_util_read_named_file(path, &buf, &size, NULL);
    printf("read back: status %u, %lu bytes: \"one\\ntwo\\nthree\\n\" %s\n", st, (unsigned long)size,
           st == XK_OK && strcmp(buf, "one\ntwo\nthree\n") == 0 ? "matches" : "differs");
    free(buf);

    st = xk_util_open(&fd, NULL, 0 /* O_RDONLY */, 0, "%s/%s", dir, "notes.txt");
    if (st == XK_OK) {
        st = xk_util_count_lines(fd, &lines, NULL);
        printf("count_lines: status %u, %lu lines\n", st, (unsigned long)lines);
        close(fd);
    }

    st = xk_util_copy_file(path, copy);
    printf("copy_file: status %u\n", st);

    st = xk_util_get_directory_component(path, &part);
    printf("directory part of the file: \"%s\"\n", st == XK_OK ? part : "?");
    free(part);

    cursor = xk_util_dirscan_begin(dir);
    printf("listing (case-insensitive order):");
    while (cursor != NULL && xk_util_dirscan(cursor) == XK_OK) {
        name = xk_dirscan_file_name(cursor);
        printf(" %s", name != NULL ? name : "?");
        free(name);
    }
    printf("\n");
    xk_util_dirscan_end(cursor);

    printf("ensure_egid of a 33-byte name: status %u (XK_ERR_INVALID)\n",
           ensure_egid("a-group-name-of-thirty-three-byte"));

    remove(copy);
    remove(path);
    remove(dir);
}

static void tour_time(void) {
    char text[32];
    size_t len = sizeof text;
    xk_util_status st = xk_util_now_str(text, &len, NULL);
    printf("now_str: status %u, %zu characters, \"%s\"\n", st, len, text);

    time_t zero = 0;
    struct tm tm;
    char stamp[26];
    if (xk_util_gmtime(&zero, &tm) == XK_OK && xk_util_asctime(&tm, stamp, sizeof stamp) == XK_OK)
        printf("asctime of the epoch: %s", stamp); /* the layout ends in a newline */
    printf("asctime into 25 bytes: status %u (XK_ERR_BUFFER_TOO_SMALL)\n", xk_util_asctime(&tm, stamp, 25));

    struct timespec deadline;
    char left[64], human[32];
    st = xk_util_future_timeout(&deadline, 600000, 1000); /* 600000 ms from now */
    xk_util_query_timeout_left(&deadline, left, sizeof left);
    xk_util_snprintf_human_time(human, sizeof human, strtod(left, NULL));
    printf("deadline in 600000 ms: status %u, time left reads as %s\n", st, human);

    struct timespec ts = {10, 600000000};
    st = xk_util_abs_time_offset(&ts, 1500, 1000);
    printf("(10 s, 600000000 ns) + 1500 ms: status %u, (%lld s, %ld ns)\n", st, (long long)ts.tv_sec,
           (long)ts.tv_nsec);

    static const double durations[] = {45, 90, 7200, 200000, -300};
    size_t i;
    printf("durations:");
    for (i = 0; i < sizeof durations / sizeof durations[0]; ++i) {
        xk_util_snprintf_human_time(human, sizeof human, durations[i]);
        printf("%s \"%s\"", i ? "," : "", human);
    }
    printf("\n");

    struct timeval tv = {0, 0};
    xk_util_ms_to_timeval(1234, &tv);
    printf("1234 ms as a timeval: {%lld, %ld}; adding -1 s: status %u (XK_ERR_OVERFLOW, it only adds)\n",
           (long long)tv.tv_sec, (long)tv.tv_usec, xk_util_safe_add_seconds(&tv, -1));
}

static void tour_text(void) {
    xk_util_strbuf *sb = xk_util_strbuf_new(0);
    if (sb == NULL) return;
    xk_util_strbuf_hexdump(sb, "  ", "libxkutil text tour", 19);
    printf("hexdump:\n%s", xk_util_strbuf_getstr(sb));
    xk_util_strbuf_clear(sb);
    xk_util_strbuf_append_f(sb, "%s", "$N items, $N left");
    int change = xk_util_strbuf_substitute(sb, "$N", 0, "%d", 42);
    printf("substitute: \"%s\" (length change %d)\n", xk_util_strbuf_getstr(sb), change);
    xk_util_strbuf_free(sb);

    char **fields = NULL;
    size_t count = 0;
    char *joined = NULL;
    size_t size = 0;
    if (xk_util_split("red,,green,blue,", ",", &fields, &count) == XK_OK &&
        xk_util_join((const char **)fields, count, " | ", &joined, &size) == XK_OK)
        printf("split \"red,,green,blue,\" at \",\": %zu fields; joined: \"%s\" (%zu bytes)\n", count, joined,
               size);
    for (size_t i = 0; i < count; ++i) free(fields[i]);
    free(fields);
    free(joined);

    const uint8_t bytes[] = {0x00, 0xab, 0x7f};
    char *hex = NULL;
    if (xk_util_sprintf_bytes(bytes, sizeof bytes, &hex) == XK_OK) printf("hex of 00 ab 7f: %s\n", hex);
    free(hex);
}

static void tour_process(void) {
    char *argv[] = {"/bin/sh", "-c", "exit 3", NULL};
    char *envp[] = {NULL};
    int code = -2;
    fflush(stdout);
    xk_util_status st = xk_spawn_and_wait(argv, envp, &code);
    printf("spawn_and_wait /bin/sh -c 'exit 3': status %u, exit code %d\n", st, code);
    printf("reset_signal(0): status %u (XK_ERR_INVALID)\n", xk_util_reset_signal(0));
    xk_util_setenv("XK_TOUR", "hello");
    char *v = xk_util_getenv("XK_TOUR");
    printf("getenv XK_TOUR: \"%s\"\n", v != NULL ? v : "(unset)");
    free(v);
    xk_util_unsetenv("XK_TOUR");
    char dir[] = "/tmp/xk-tour-XXXXXX";
    if (mkdtemp(dir) != NULL) {
        char path[64];
        unsigned int holder = 0;
        snprintf(path, sizeof path, "%s/tour.pid", dir);
        st = xk_util_claim_pid_file(path, "tour", &holder);
        printf("claim_pid_file <tmp>/tour.pid: status %u (XK_OK)\n", st);
        unlink(path);
        rmdir(dir);
    }
    char *host = xk_util_get_hostname();
    printf("host name: %s\n", host != NULL ? host : "(unavailable)");
    free(host);
}

int main(void) {
    printf("== foundation ==\n");
    tour_foundation();
    printf("== text ==\n");
    tour_text();
    printf("== encoding and numbers ==\n");
    tour_encoding();
    printf("== collection ==\n");
    tour_collection();
    printf("== options ==\n");
    tour_options();
    printf("== files ==\n");
    tour_files();
    printf("== time ==\n");
    tour_time();
    printf("== processes and system ==\n");
    tour_process();
    return 0;
}
