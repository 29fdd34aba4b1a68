/* SPDX-License-Identifier: MIT */
/** @file
 * A table-driven command-line option scanner and its ready-made handlers.
 *
 * @code
 * char *config = NULL;
 * int verbose = 0, jobs = 1;
 * xk_util_option table[] = {
 *     {'c', "config", xk_util_getopt_string, &config, 1},
 *     {'j', "jobs", xk_util_getopt_int, &jobs, 1},
 *     {'v', "verbose", xk_util_getopt_flag, &verbose, 0},
 * };
 * if (xk_util_getopt(argc, argv, table, 3) != XK_OK) return 2;   // "-j 4 --config x.conf -v"
 * free(config);
 * @endcode */
#ifndef XK_OPTIONS_H
#define XK_OPTIONS_H

#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** One option descriptor (defined below). */
typedef struct xk_util_option xk_util_option;

/** Converts and stores an option's value at option->dest. value is the argument after the
 * option when has_value is nonzero and NULL otherwise; *count receives the arguments used. */
typedef xk_util_status (*xk_util_option_handler)(xk_util_option *option, const char *value, uint32_t *count);

/** One option descriptor; callers build arrays of them. */
struct xk_util_option {
    char short_name;    /**< matched by "-x" or "/x" */
    char long_name[31]; /**< at most 30 characters, matched by "--name", "-name", "/name", "/-name" */
    xk_util_option_handler handler; /**< never NULL */
    void *dest;         /**< char ** for the string handler, int * for the integer and flag handlers */
    uint32_t has_value; /**< nonzero: the next argument is the value */
};

/** Scans argv from argument 1, running the handler of each option found in the table; other
 * arguments are passed over.
 * @param argc the number of arguments
 * @param argv the arguments, argv[0] being the program
 * @param table the option descriptors
 * @param n their number
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID (argc or n not above 0), XK_ERR_SYSTEM (a
 *         value-taking option in last place), or the first failing handler's status */
XK_API xk_util_status xk_util_getopt(int argc, char **argv, xk_util_option *table, int n);

/** As xk_util_getopt, scanning from argument start.
 * @param argc the number of arguments
 * @param argv the arguments
 * @param table the option descriptors
 * @param n their number
 * @param start the first argument scanned
 * @return as xk_util_getopt; XK_ERR_INVALID also for a negative start */
XK_API xk_util_status xk_util_getopt_from(int argc, char **argv, xk_util_option *table, int n, int start);

/** Handler for a string value: stores a malloc'd copy of value at the char * at dest, which
 * must be NULL beforehand; the caller frees it.
 * @param option the matched descriptor
 * @param value the value, at most 300 characters
 * @param count receives the arguments used
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID, XK_ERR_NOMEM */
XK_API xk_util_status xk_util_getopt_string(xk_util_option *option, const char *value, uint32_t *count);

/** Handler for an integer value: stores the decimal int that value starts with at the int at dest.
 * @param option the matched descriptor
 * @param value the value
 * @param count receives the arguments used
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID (over 300 characters or no number) */
XK_API xk_util_status xk_util_getopt_int(xk_util_option *option, const char *value, uint32_t *count);

/** Handler for a flag: sets the int at dest to 1.
 * @param option the matched descriptor
 * @param value ignored
 * @param count receives the arguments used
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID (has_value set) */
XK_API xk_util_status xk_util_getopt_flag(xk_util_option *option, const char *value, uint32_t *count);

#ifdef __cplusplus
}
#endif

#endif
