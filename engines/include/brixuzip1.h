/* The unzip engine's C interface (libbrixuzip1.so), after the Info-ZIP UnZip
 * DLL, and the version library's (librarero10.so). Fields keep the classic
 * order and meaning; pointers have the native width. Texts are UTF-8.
 *
 * Extraction never writes outside the extract folder: names with ".."
 * components, absolute names and drive letters are refused ("\" counts as a
 * separator), and no folder is entered through a symbolic link, whether the
 * link came from the archive or was already on disk. Symbolic-link entries
 * are created only when their target stays inside the extract folder;
 * otherwise they are skipped with a message. Each file is written under a
 * temporary name in its folder and renamed onto its name only after its CRC
 * (or AES authentication) checked out, so a failed, damaged or stopped entry
 * leaves an existing file as it was and never a partial file. An entry that
 * inflates beyond its declared size is stopped; the environment variable
 * BRIXUZIP_MAX_OUTPUT (bytes) limits the total output of a run.
 *
 * Entries stored, or compressed with deflate, Deflate64, bzip2, LZMA (with
 * or without its end marker), XZ or Zstandard, are extracted, each under
 * traditional or AES encryption; an entry of any other method (PPMd, ...)
 * is skipped with its reason and the others still come out. An archive with
 * bytes in front of it is read whether or not its offsets count them.
 * Names without the UTF-8 flag are read as code page 437.
 *
 * All callbacks are made on the calling thread, in archive order, even when
 * entries are decompressed in parallel. */
#ifndef BRIXUZIP1_H
#define BRIXUZIP1_H

#include <stdint.h>

#include "brixoutcome.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The command record. Flags hold 1 or 0. */
typedef struct DCL {
    int32_t ExtractOnlyNewer;   /* extract only files newer than those on disk */
    int32_t SpaceToUnderscore;  /* spaces in names become underscores */
    int32_t PromptToOverwrite;  /* ask the replace callback before overwriting */
    int32_t fQuiet;             /* quiet level: 0 every line; 1 or more: warnings and errors only */
    int32_t ncflag;             /* engine option (unused) */
    int32_t ntflag;             /* test: verify every entry, write nothing */
    int32_t nvflag;             /* verbose listing: list, do not extract */
    int32_t nfflag;             /* engine option (unused) */
    int32_t nzflag;             /* engine option (unused) */
    int32_t ndflag;             /* use folder names: recreate the entries' folders */
    int32_t noflag;             /* overwrite existing files without asking */
    int32_t naflag;             /* text entries: CR-LF and lone CR become this system's LF */
    int32_t nZIflag;            /* engine option (unused) */
    int32_t C_flag;             /* case flag: names match case-sensitively */
    int32_t fPrivilege;         /* engine option (unused) */
    const char* lpszZipFN;      /* the archive */
    const char* lpszExtractDir; /* the extract folder ("" for a listing) */
} DCL;

/* Texts handed to the print and service callbacks are NUL-terminated; the
 * byte count includes the NUL. A message is one line without a line end. */
typedef int32_t (*UzpPrintFn)(const char* text, uint32_t size);     /* a message; returns 0 */
typedef int32_t (*UzpSoundFn)(void);                                 /* unused slot, NULL */
/* Asked before an existing file is replaced (prompt flag set): the full path
 * of the existing file; 100 no, 102 yes, 103 all, 104 none; any other value
 * counts as no. */
typedef int32_t (*UzpReplaceFn)(char* fileName);
/* Asked for an encrypted entry (traditional or AES) when no password of the
 * run opens it: the buffer is zero-filled, UNZIP_PASSWORD_BUFFER bytes;
 * 0: a password was written; 1: none given (the entry is skipped). A wrong
 * password is asked again until the callback answers 1. */
typedef int32_t (*UzpPasswordFn)(char* buffer, int32_t size, const char* prompt, const char* entry);
/* One call per entry in archive order (folder entries included): compressed
 * size, uncompressed size (both clamped to 32 bits; the true sizes come
 * through UZEXTRA's listing64), the packed share in
 * percent rounded to the nearest (so size * factor / 100 is the packed size),
 * month 1-12, day, four-digit year, hour, minute, a flag character, the path
 * as stored (UTF-8, "/" separators, any length), the method name ("Stored",
 * "Deflated", "BZip2", "Deflate64", "LZMA", "XZ", "Zstd", "PPMd", ...), the CRC-32 and the encryption byte
 * (UZ_ENCRYPTED_BIT set for encrypted entries). */
typedef void (*UzpListingFn)(uint32_t compressedSize, uint32_t size, uint32_t factor, uint32_t month,
                             uint32_t day, uint32_t year, uint32_t hour, uint32_t minute, char flag,
                             const char* path, const char* method, uint32_t crc, char encryption);
/* Once per selected item in archive order, before it is written: the item's
 * output path (byte count with the NUL); 1 stops the run. */
typedef int32_t (*UzpServiceFn)(const char* item, uint32_t size);

typedef struct USERFUNCTIONS {
    UzpPrintFn print;
    UzpSoundFn sound;
    UzpReplaceFn replace;
    UzpPasswordFn password;
    UzpListingFn listing;
    UzpServiceFn service;
    /* Totals area, filled by the engine. */
    uint32_t TotalSizeComp;
    uint32_t TotalSize;
    uint32_t CompFactor;
    uint32_t NumMembers;
    uint16_t cchComment;
} USERFUNCTIONS;

/* Name lists: slots 0..n-1 the names, slot n ""; for n = 0 slot 0 is "".
 * A name is a wildcard pattern ("*", "?", "[...]"), except that a name which
 * is exactly an entry's stored name picks that entry alone. */
#define UNZIP_NAME_SLOTS 1024
typedef struct UZNAMES {
    const char* name[UNZIP_NAME_SLOTS];
} UZNAMES;

#define UNZIP_PASSWORD_BUFFER 256

/* Answers of the replace callback. */
#define IDM_REPLACE_NO 100
#define IDM_REPLACE_YES 102
#define IDM_REPLACE_ALL 103
#define IDM_REPLACE_NONE 104

/* Encryption byte of the listing callback: bit 0x40 marks an encrypted entry. */
#define UZ_ENCRYPTED_BIT 0x40

/* Result codes of Wiz_SingleEntryUnzip (Info-ZIP's). 0 and PK_WARN mean the
 * run did its work; every other code is a failure, its reason given through
 * the print callback. */
#define PK_OK 0        /* success */
#define PK_WARN 1      /* warnings: entries skipped, kept, refused, or names unmatched */
#define PK_ERR 2       /* some entries failed (damaged data, unsupported method, write error) */
#define PK_BADERR 3    /* severe error in the archive */
#define PK_MEM 4       /* out of memory */
#define PK_NOZIP 9     /* not a zip archive, or it cannot be opened */
#define PK_PARAM 10    /* bad options */
#define PK_FIND 11     /* no entry matched */
#define PK_DISK 50     /* disk full or write error */
#define PK_EOF 51      /* unexpected end of the archive */
#define IZ_CTRLC 80    /* stopped by the service callback */
#define IZ_UNSUP 81    /* unsupported compression or encryption for every entry */
#define IZ_BADPWD 82   /* no correct password for any encrypted entry */

int32_t Wiz_SingleEntryUnzip(int32_t includeCount, UZNAMES* include, int32_t excludeCount, UZNAMES* exclude,
                             DCL* options, USERFUNCTIONS* functions);

/* Addition: a run with per-entry outcomes. Wiz_SingleEntryUnzipEx does
 * exactly what Wiz_SingleEntryUnzip does and, besides, reports every entry it
 * was asked about through extra->outcome (brixoutcome.h), in archive order, on
 * the calling thread. `structlen` is sizeof(UZEXTRA) as the caller knows it;
 * the engine reads only the fields that fit, so the record may grow at its
 * end. extra == NULL is the classic call. */
/* One entry of a listing with its true 64-bit sizes. `structlen` is
 * sizeof(UZLISTING64) as the engine knows it; fields are only ever appended. */
typedef struct UZLISTING64 {
    uint32_t structlen;
    uint64_t compressedSize;  /* bytes of the entry's data in the archive */
    uint64_t size;            /* uncompressed bytes */
    const char* path;         /* the same text as the classic callback's path */
    uint64_t entries;         /* entries in the archive's directory, the same in
                                 every call of one listing (room to reserve) */
} UZLISTING64;

/* Called during a listing, once per entry, just before the classic listing
 * callback of the same entry, so a caller can pair the two calls. */
typedef void (*UzpListing64Fn)(void* context, const UZLISTING64* entry);

typedef struct UZEXTRA {
    uint32_t structlen;
    void* context;          /* handed back to the callbacks below */
    BrixOutcomeFn outcome;  /* per-entry outcomes, or NULL */
    UzpListing64Fn listing64; /* true sizes of each listed entry, or NULL */
} UZEXTRA;

int32_t Wiz_SingleEntryUnzipEx(int32_t includeCount, UZNAMES* include, int32_t excludeCount, UZNAMES* exclude,
                               DCL* options, USERFUNCTIONS* functions, const UZEXTRA* extra);

/* The version record (librarero10.so). */
typedef struct UzpVer2 {
    uint32_t structlen;     /* 64 */
    uint32_t flag;
    char betalevel[10];
    char date[20];
    char zlib_version[10];
    uint8_t unzip[4];       /* major, minor, patch, unused */
    uint8_t zipinfo[4];
    uint8_t os2dll[4];
    uint8_t windll[4];      /* the project's version */
} UzpVer2;

void UzpVersion2(UzpVer2* version);

#ifdef __cplusplus
}
#endif

#endif
