/** @file
 * The log module contract.
 *
 * Any module named liborvexlog.so that exports these C functions can stand
 * in for the log module. The library loads it at run time by bare name
 * through the platform loader's default search (LD_LIBRARY_PATH, then the
 * system library path) and resolves each name below exactly as written. A
 * missing module, or a missing function, only silences the log: the library
 * never calls a function the module lacks.
 *
 * A log is named by a handle that log_createA or log_createW returns; 0
 * stands for no log. Every message carries a level; a log writes messages
 * whose level is at most its own level (0 errors, 1 warnings, 2 information,
 * 3 and above detail). Functions that take a handle answer 0 for a handle
 * that is 0, unknown or closed, and do nothing else.
 *
 * The library uses one log per response-server link: it creates it with
 * log_createA(0, 0, 0, 2), sets its level to 2, writes every text with level
 * 2 through log_logTextA and raw bytes through log_logBinary, and closes it
 * when the link is destroyed. It may call the functions from any one thread
 * at a time per handle; a module must allow different handles to be used
 * from different threads at once.
 *
 * The project's own module (tools/logmodule) appends to a size-limited file
 * in the user's state folder; see tools/logmodule/README.md.
 */
#ifndef ORVEXSYSTEM_ORVEXLOG_H
#define ORVEXSYSTEM_ORVEXLOG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Opens a log with this level and answers its handle, 0 when none could be
 * opened. a, b and c carry no meaning for the library, which passes 0. */
intptr_t log_createA(intptr_t a, intptr_t b, intptr_t c, int32_t level);
/** As log_createA; the W form exists for modules that name their logs in
 * UTF-16. */
intptr_t log_createW(intptr_t a, intptr_t b, intptr_t c, int32_t level);
/** Writes a NUL-terminated 8-bit text (the local encoding, UTF-8 on Linux)
 * as it stands: texts bring their own line ends. Answers 1 when written, 0
 * when filtered out by level or not written. */
int32_t log_logTextA(intptr_t log, const char *text, int32_t level);
/** As log_logTextA for a NUL-terminated UTF-16 text. */
int32_t log_logTextW(intptr_t log, const uint16_t *text, int32_t level);
/** Writes count raw bytes from data. Answers as log_logTextA. */
int32_t log_logBinary(intptr_t log, const uint8_t *data, int32_t count, int32_t level);
/** Closes the log; its handle is invalid afterwards. Answers 1 when closed. */
int32_t log_close(intptr_t log);
/** Answers 1 while the handle names an open log. */
int32_t log_isOpen(intptr_t log);
/** Changes the log's level. Answers 1 when set. */
int32_t log_setLevel(intptr_t log, int32_t level);
/** Limits the size of the log's file in bytes; what happens at the limit is
 * the module's choice (the project's module rotates). Answers 1 when set, 0
 * for a size of 0 or less. */
int32_t log_setMaximumSize(intptr_t log, int32_t bytes);

#ifdef __cplusplus
}
#endif

#endif
