/* What happened to each entry of an engine run, in structured form. Shared by
 * the zip engine (libbrixzip1.so) and the unzip engine (libbrixuzip1.so) as an
 * addition to their classic interfaces: the classic entry points, records and
 * callbacks stay exactly as they are, and a caller that wants per-entry
 * results calls the "Ex" entry point declared in the engine's own header,
 * passing an outcome callback. Message lines still go to the print callback;
 * no caller needs to read them to learn what happened. */
#ifndef BRIXOUTCOME_H
#define BRIXOUTCOME_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One value per entry (unzip: an entry of the archive; zip: a named file, or
 * an entry added, updated or deleted). New values are only ever appended. */
typedef enum BRIX_OUTCOME_KIND {
    BRIX_DONE = 0,            /* extracted, tested, added, updated or deleted as asked */
    BRIX_KEPT = 1,            /* kept by the caller's choice: an overwrite answer of no or none,
                               * overwriting not asked for, or an "only newer" rule */
    BRIX_UNSAFE = 2,          /* refused as unsafe (a name leaving the folder, a link escaping it) */
    BRIX_NO_PASSWORD = 3,     /* encrypted, and no password was given */
    BRIX_WRONG_PASSWORD = 4,  /* encrypted, and no password given opens it */
    BRIX_DAMAGED = 5,         /* the data fail their CRC or authentication, or cannot be decoded */
    BRIX_UNSUPPORTED = 6,     /* compression or encryption method not supported */
    BRIX_WRITE_FAILED = 7,    /* could not be written (sysError holds the errno) */
    BRIX_READ_FAILED = 8,     /* could not be read (sysError holds the errno) */
    BRIX_STOPPED = 9,         /* the run was stopped (service callback) before this entry was done */
    BRIX_TOO_BIG = 10,        /* beyond a size limit (declared size, or the run's output limit) */
    BRIX_NOT_FOUND = 11       /* a name asked for matched nothing (zip: a named file; unzip: an include name) */
} BRIX_OUTCOME_KIND;

typedef struct BRIXOUTCOME {
    uint32_t structlen;       /* sizeof(BRIXOUTCOME) as the engine knows it */
    int32_t kind;             /* a BRIX_OUTCOME_KIND */
    int32_t sysError;         /* errno for BRIX_WRITE_FAILED / BRIX_READ_FAILED (also NOT_FOUND when known), else 0 */
    const char* name;         /* the entry's stored name, or the file name as given (UTF-8, "/" separators) */
    const char* reason;       /* a short human reason ("CRC error", "Permission denied"), never NULL */
} BRIXOUTCOME;

/* Called on the calling thread, once per entry the run was asked about, in
 * archive (or name-list) order, after the entry's fate is settled. The texts
 * live only for the duration of the call. */
typedef void (*BrixOutcomeFn)(void* context, const BRIXOUTCOME* outcome);

#ifdef __cplusplus
}
#endif

#endif
