/* The zip engine's C interface (libbrixzip1.so), after the Info-ZIP Zip DLL:
 * an option record, a table of callbacks and a table of names, and four
 * entry points. Fields keep the classic order and meaning; pointers have the
 * native width. Texts are NUL-terminated UTF-8. */
#ifndef BRIXZIP1_H
#define BRIXZIP1_H

#include <stdint.h>

#include "brixoutcome.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The option record (ZpSetOptions). Flags hold 1 or 0. */
typedef struct ZPOPT {
    const char* Date;        /* date text (unused, NULL) */
    const char* szRootDir;   /* root folder; the caller also makes it current, so a relative one means the current folder */
    const char* szTempDir;   /* temporary folder (unused, NULL) */
    int32_t fTemp;           /* engine option (unused) */
    int32_t fSuffix;         /* engine option (unused) */
    int32_t fEncrypt;        /* encrypt the entries written */
    int32_t fSystem;         /* include hidden names (starting with ".") */
    int32_t fVolume;         /* volume label: no meaning here, ignored */
    int32_t fExtra;          /* engine option (unused) */
    int32_t fNoDirEntries;   /* add no entries for folders */
    int32_t fExcludeDate;    /* engine option (unused) */
    int32_t fIncludeDate;    /* engine option (unused) */
    int32_t fVerbose;        /* verbose messages */
    int32_t fQuiet;          /* quiet: no per-item messages */
    int32_t fCRLF_LF;        /* text files: CR-LF to LF */
    int32_t fLF_CRLF;        /* text files: LF to CR-LF */
    int32_t fJunkDir;        /* store names without their folders */
    int32_t fGrow;           /* add to an existing archive (always done) */
    int32_t fForce;          /* engine option (unused) */
    int32_t fMove;           /* engine option (unused) */
    int32_t fDeleteEntries;  /* remove the matching entries */
    int32_t fUpdate;         /* replace entries only by newer files, add new ones */
    int32_t fFreshen;        /* replace existing older entries only, add nothing */
    int32_t fJunkSFX;        /* engine option (unused) */
    int32_t fLatestTime;     /* engine option (unused) */
    int32_t fComment;        /* ask for a comment (never set) */
    int32_t fOffsets;        /* engine option (unused) */
    int32_t fPrivilege;      /* engine option (unused) */
    int32_t fEncryption;     /* encryption method: 0 WinZip AES-256 (default); 1 traditional zip
                              * encryption, for old readers only (broken by known-plaintext attacks) */
    int32_t fRecurse;        /* 2: also match names in every subfolder */
    int32_t fRepair;         /* engine option (unused) */
    char fLevel;             /* compression level '0'..'9' or 0..9; 0 means the default, 6 */
    char pad[3];
} ZPOPT;

/* Callbacks, called on the thread that called ZpArchive. */
typedef int32_t (*ZDLLPRNT)(const char* text, uint32_t size);
    /* one message line without a line end, size = its byte count:
     * "  adding: docs/a.txt (deflated 62%)", "  updating: ...", "  deleting: ...",
     * "  ... (stored 0%)", a closing "  total bytes=..." line; warnings and
     * errors ("  zip warning: ...", "zip error: ...") even when quiet. */
typedef int32_t (*ZDLLPASSWORD)(char* buffer, int32_t size, const char* prompt, const char* item);
                                                                         /* 0: password written to buffer; 1: none */
typedef char* (*ZDLLCOMMENT)(char* comment);                            /* returns the buffer */
typedef int32_t (*ZDLLSERVICE)(const char* item, uint32_t size);
    /* called once per item before it is written (and per entry deleted):
     * the stored name and its byte count including the terminating NUL, so
     * a reader that copies `size` bytes never reads past the text.
     * Returning 1 stops the run; the archive is left as it was (ZE_ABORT). */

typedef struct ZIPUSERFUNCTIONS {
    ZDLLPRNT print;
    ZDLLPASSWORD password;
    ZDLLCOMMENT comment;
    ZDLLSERVICE service;
} ZIPUSERFUNCTIONS;

/* The name list: slots 0..n-1 the names, slot n NULL, slot n+1 "". */
#define ZIP_NAME_SLOTS 1024
typedef struct ZIPNAMES {
    const char* name[ZIP_NAME_SLOTS];
} ZIPNAMES;

/* The password buffer the engine hands to the password callback holds at
 * least this many bytes, zero-filled. */
#define ZIP_PASSWORD_BUFFER 256

/* Result codes of ZpArchive (Info-ZIP's). On any code but ZE_OK and ZE_OPEN
 * the archive is exactly as it was before the run and no temporary file is
 * left; ZE_OPEN means the archive was written without some of what was asked
 * for: a name that matched nothing, a named file that is not a regular file
 * or could not be read, a file a pattern matched that could not be read, or
 * (delete) a name that matched no entry. Each one is reported through the
 * print callback and, with ZpArchiveEx, as an outcome with its errno.
 *
 * Updates take turns. Every run that writes an archive (creating, adding,
 * updating, deleting) first takes an exclusive flock(2) on the archive file,
 * or on its folder while the archive does not exist yet, and holds it until
 * the new archive has been renamed over the old one; a second run, in this
 * process or another, waits. That rename replaces the file that was locked,
 * so a lock on it alone would let the waiting run go on with the stale copy
 * and lose the first run's change: after it gets the lock, a run checks that
 * the file it locked is still the one at the archive's path (for a folder
 * lock: that the archive still does not exist) and otherwise takes the lock
 * again on what is there now. This was chosen over a lock file beside the
 * archive because nothing is ever left behind: a run that is killed lets go
 * of its lock with its last descriptor, and no stray file appears beside the
 * archive or in a later zip of its folder. Creations of different archives
 * in one folder take turns too (they share the folder's lock); that costs a
 * little parallelism and nothing else. Readers take no lock: the archive is
 * always replaced whole by a rename, so they see the old one or the new one. */
#define ZE_OK 0       /* success */
#define ZE_EOF 2      /* unexpected end of an archive */
#define ZE_FORM 3     /* the existing archive is damaged or not a zip file */
#define ZE_MEM 4      /* out of memory */
#define ZE_LOGIC 5    /* internal error */
#define ZE_BIG 6      /* entry too large */
#define ZE_ABORT 9    /* stopped by the service callback, or the password was refused */
#define ZE_TEMP 10    /* temporary file error */
#define ZE_READ 11    /* a file (or the existing archive) could not be read */
#define ZE_NONE 12    /* nothing to do (no file matched) */
#define ZE_NAME 13    /* missing or empty archive (delete, freshen) */
#define ZE_WRITE 14   /* error writing the archive (disk full, ...) */
#define ZE_CREAT 15   /* the archive could not be created */
#define ZE_PARMS 16   /* bad options */
#define ZE_OPEN 18    /* a named file could not be opened */

int32_t ZpInit(ZIPUSERFUNCTIONS* functions);
int32_t ZpSetOptions(ZPOPT* options);
int32_t ZpGetOptions(ZPOPT* options);  /* copies the options in effect */
int32_t ZpArchive(int32_t count, const char* archive, ZIPNAMES* names);

/* Addition: a run with per-entry outcomes. ZpArchiveEx does exactly what
 * ZpArchive does and, besides, reports through extra->outcome
 * (brixoutcome.h), on the calling thread: each entry added, updated or
 * deleted (BRIX_DONE), each file kept out by the update or freshen rule
 * (BRIX_KEPT), each name or pattern that matched nothing (BRIX_NOT_FOUND),
 * each file that could not be read (BRIX_READ_FAILED, with the system's
 * errno; "not a regular file" for a FIFO, socket or device named, which is
 * never opened), and an archive that could not be written (BRIX_WRITE_FAILED
 * under the archive's name, with the errno: ENOSPC for a full disk). The
 * outcomes come once the run is over, so an entry reported done is in the
 * archive that is in place. `structlen` is sizeof(ZPEXTRA) as the caller knows it; the
 * engine reads only the fields that fit, so the record may grow at its end.
 * extra == NULL is the classic call. */
typedef struct ZPEXTRA {
    uint32_t structlen;
    void* context;          /* handed back to the callbacks below */
    BrixOutcomeFn outcome;  /* per-entry outcomes, or NULL */
} ZPEXTRA;

int32_t ZpArchiveEx(int32_t count, const char* archive, ZIPNAMES* names, const ZPEXTRA* extra);

#ifdef __cplusplus
}
#endif

#endif
