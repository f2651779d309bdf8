/* Fault injection for the reliability tests, loaded with LD_PRELOAD into a
 * packwell process. It makes the file system misbehave the way a full disk or
 * a failing rename does, without privileges:
 *
 *   PW_FAULT_WRITE_BUDGET=N  every write after the first N bytes (summed over
 *                            the process) fails with ENOSPC
 *   PW_FAULT_RENAME=1        every rename fails with EIO, and so does every
 *                            linkat (how a file written without a name
 *                            gets its name: the same last step)
 *
 * Only calls that go through the C library's exported entry points are seen;
 * the tests add RLIMIT_FSIZE for writers that bypass them (stdio). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

static long long budget(void) {
    static long long value = -2;
    if (value == -2) {
        const char* text = getenv("PW_FAULT_WRITE_BUDGET");
        value = text && *text ? atoll(text) : -1;
    }
    return value;
}

static _Atomic long long written;

/* True when `count` more bytes may be written to `fd`. Terminals and pipes
 * (stdout, stderr) are never refused, so the process can still report. */
static int allowed(int fd, size_t count) {
    long long b = budget();
    if (b < 0 || fd <= 2) return 1;
    if (atomic_fetch_add(&written, (long long)count) + (long long)count <= b) return 1;
    errno = ENOSPC;
    return 0;
}

#define NEXT(name) static __typeof__(name)* next_##name; if (!next_##name) next_##name = (__typeof__(name)*)dlsym(RTLD_NEXT, #name)

ssize_t write(int fd, const void* buf, size_t count) {
    NEXT(write);
    if (!allowed(fd, count)) return -1;
    return next_write(fd, buf, count);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    NEXT(pwrite);
    if (!allowed(fd, count)) return -1;
    return next_pwrite(fd, buf, count, offset);
}

ssize_t pwrite64(int fd, const void* buf, size_t count, off_t offset) {
    NEXT(pwrite64);
    if (!allowed(fd, count)) return -1;
    return next_pwrite64(fd, buf, count, offset);
}

ssize_t writev(int fd, const struct iovec* iov, int n) {
    NEXT(writev);
    size_t total = 0;
    for (int i = 0; i < n; ++i) total += iov[i].iov_len;
    if (!allowed(fd, total)) return -1;
    return next_writev(fd, iov, n);
}

ssize_t copy_file_range(int in, off_t* inOff, int out, off_t* outOff, size_t len, unsigned flags) {
    NEXT(copy_file_range);
    if (budget() >= 0) {
        /* Make the caller fall back to plain writes, which are counted. */
        errno = EXDEV;
        return -1;
    }
    return next_copy_file_range(in, inOff, out, outOff, len, flags);
}

ssize_t sendfile(int out, int in, off_t* offset, size_t count) {
    NEXT(sendfile);
    if (budget() >= 0) {
        errno = EINVAL;
        return -1;
    }
    return next_sendfile(out, in, offset, count);
}

static int renameRefused(void) {
    const char* text = getenv("PW_FAULT_RENAME");
    if (text && *text == '1') {
        errno = EIO;
        return 1;
    }
    return 0;
}

int rename(const char* from, const char* to) {
    NEXT(rename);
    if (renameRefused()) return -1;
    return next_rename(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    NEXT(renameat);
    if (renameRefused()) return -1;
    return next_renameat(fromDir, from, toDir, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    NEXT(linkat);
    if (renameRefused()) return -1;
    return next_linkat(fromDir, from, toDir, to, flags);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    NEXT(renameat2);
    if (renameRefused()) return -1;
    return next_renameat2(fromDir, from, toDir, to, flags);
}
