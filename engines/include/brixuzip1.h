/* The unzip engine's C interface (libbrixuzip1.so), after the Info-ZIP UnZip
 * DLL, and the version library's (librarero10.so). Fields keep the classic
 * order and meaning; pointers have the native width. Texts are UTF-8. */
#ifndef BRIXUZIP1_H
#define BRIXUZIP1_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The command record. Flags hold 1 or 0. */
typedef struct DCL {
    int32_t ExtractOnlyNewer;   /* extract only files newer than those on disk */
    int32_t SpaceToUnderscore;  /* spaces in names become underscores */
    int32_t PromptToOverwrite;  /* ask the replace callback before overwriting */
    int32_t fQuiet;             /* quiet level: 0 all messages, 1 fewer, 2 none */
    int32_t ncflag;             /* engine option (unused) */
    int32_t ntflag;             /* test: verify every entry, write nothing */
    int32_t nvflag;             /* verbose listing: list, do not extract */
    int32_t nfflag;             /* engine option (unused) */
    int32_t nzflag;             /* engine option (unused) */
    int32_t ndflag;             /* use folder names: recreate the entries' folders */
    int32_t noflag;             /* overwrite existing files without asking */
    int32_t naflag;             /* text entries: line ends converted to CR-LF */
    int32_t nZIflag;            /* engine option (unused) */
    int32_t C_flag;             /* case flag: names match case-sensitively */
    int32_t fPrivilege;         /* engine option (unused) */
    const char* lpszZipFN;      /* the archive */
    const char* lpszExtractDir; /* the extract folder ("" for a listing) */
} DCL;

typedef int32_t (*UzpPrintFn)(const char* text, uint32_t size);     /* a message; returns 0 */
typedef int32_t (*UzpSoundFn)(void);                                 /* unused slot, NULL */
typedef int32_t (*UzpReplaceFn)(char* fileName);                     /* 100 no, 102 yes, 103 all, 104 none */
typedef int32_t (*UzpPasswordFn)(char* buffer, int32_t size, const char* prompt, const char* entry);
                                                                      /* 0: written; 1: none given */
typedef void (*UzpListingFn)(uint32_t compressedSize, uint32_t size, uint32_t factor, uint32_t month,
                             uint32_t day, uint32_t year, uint32_t hour, uint32_t minute, char flag,
                             const char* path, const char* method, uint32_t crc, char encryption);
typedef int32_t (*UzpServiceFn)(const char* item, uint32_t size);   /* item name and size; 1 stops */

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

/* Name lists: slots 0..n-1 the names, slot n ""; for n = 0 slot 0 is "". */
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

/* Result codes of Wiz_SingleEntryUnzip (Info-ZIP's). */
#define PK_OK 0        /* success */
#define PK_WARN 1      /* warnings: entries skipped, kept or refused */
#define PK_ERR 2       /* errors in the archive, some entries failed */
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
