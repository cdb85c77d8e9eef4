/* The allocator, lock and system-call functions a plug-in may call, interposed in the vsthost
 * executable: each one tells the realtime watch (realtime_watch.h) that it was called, then does what
 * the C library would have done. The watch counts only on a thread that is inside a plug-in call the
 * host is checking, so everywhere else this costs one thread-local read.
 *
 * C rather than C++: the C library's headers declare these functions with C++ exception
 * specifications, which a C definition need not repeat. */
#undef _FORTIFY_SOURCE
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <semaphore.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

void vsthost_watch_record(int kind, const char* function);
void vsthost_watch_mark_interposed(void);

enum { kAllocation = 0, kLock = 1, kSystemCall = 2 };

/* The allocator itself: glibc exports its functions under these names for exactly this purpose. */
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);

/* Fortified variants that plug-ins built with _FORTIFY_SOURCE call instead; the headers declare them
 * only in fortified builds. */
int __open_2(const char* path, int flags);
int __open64_2(const char* path, int flags);
int __openat_2(int dir, const char* path, int flags);
int __openat64_2(int dir, const char* path, int flags);
ssize_t __read_chk(int fd, void* buffer, size_t count, size_t room);
int __printf_chk(int flag, const char* format, ...);
int __fprintf_chk(FILE* stream, int flag, const char* format, ...);
int __vprintf_chk(int flag, const char* format, va_list args);
int __vfprintf_chk(FILE* stream, int flag, const char* format, va_list args);

/* ---- allocation ---- */

void* malloc(size_t size) {
    vsthost_watch_record(kAllocation, "malloc");
    return __libc_malloc(size);
}

void free(void* p) {
    if (p) vsthost_watch_record(kAllocation, "free");
    __libc_free(p);
}

void* calloc(size_t count, size_t size) {
    vsthost_watch_record(kAllocation, "calloc");
    return __libc_calloc(count, size);
}

void* realloc(void* p, size_t size) {
    vsthost_watch_record(kAllocation, "realloc");
    return __libc_realloc(p, size);
}

void* reallocarray(void* p, size_t count, size_t size) {
    vsthost_watch_record(kAllocation, "reallocarray");
    if (size != 0 && count > SIZE_MAX / size) {
        errno = ENOMEM;
        return NULL;
    }
    return __libc_realloc(p, count * size);
}

void* memalign(size_t alignment, size_t size) {
    vsthost_watch_record(kAllocation, "memalign");
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    vsthost_watch_record(kAllocation, "aligned_alloc");
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    vsthost_watch_record(kAllocation, "posix_memalign");
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = __libc_memalign(alignment, size);
    if (!p) return ENOMEM;
    *result = p;
    return 0;
}

void* valloc(size_t size) {
    vsthost_watch_record(kAllocation, "valloc");
    return __libc_valloc(size);
}

void* pvalloc(size_t size) {
    vsthost_watch_record(kAllocation, "pvalloc");
    return __libc_pvalloc(size);
}

/* ---- everything else goes on to the next definition, the C library's ---- */

static void* resolve(const char* name, void** slot) {
    void* f = __atomic_load_n(slot, __ATOMIC_ACQUIRE);
    if (!f) {
        f = dlsym(RTLD_NEXT, name);
        if (!f) {
            static const char message[] = "vsthost: cannot find a C library function it interposes\n";
            if (write(2, message, sizeof message - 1) < 0) abort();
            abort();
        }
        __atomic_store_n(slot, f, __ATOMIC_RELEASE);
    }
    return f;
}

/* NEXT(name) is the C library's `name`. Each is looked up once at start-up, so that no lookup (and
 * its allocations) happens inside a counted call. */
#define NEXT_DECLARE(name)                                                        \
    static void* slot_##name;                                                     \
    static __typeof__(&name) next_##name(void) {                                  \
        void* f = resolve(#name, &slot_##name);                                   \
        __typeof__(&name) fn;                                                     \
        memcpy(&fn, &f, sizeof fn);                                               \
        return fn;                                                                \
    }                                                                             \
    __attribute__((constructor)) static void resolve_##name(void) { (void)next_##name(); }
#define NEXT(name) next_##name()

/* A function with fixed arguments: count it, forward it. */
#define WRAP(kind, ret, name, params, args) \
    NEXT_DECLARE(name)                      \
    ret name params {                       \
        vsthost_watch_record(kind, #name);  \
        return NEXT(name) args;             \
    }

WRAP(kLock, int, pthread_mutex_lock, (pthread_mutex_t* m), (m))
WRAP(kLock, int, pthread_mutex_trylock, (pthread_mutex_t* m), (m))
WRAP(kLock, int, pthread_mutex_timedlock, (pthread_mutex_t* m, const struct timespec* t), (m, t))
WRAP(kLock, int, pthread_mutex_unlock, (pthread_mutex_t* m), (m))
WRAP(kLock, int, pthread_rwlock_rdlock, (pthread_rwlock_t* l), (l))
WRAP(kLock, int, pthread_rwlock_wrlock, (pthread_rwlock_t* l), (l))
WRAP(kLock, int, pthread_rwlock_tryrdlock, (pthread_rwlock_t* l), (l))
WRAP(kLock, int, pthread_rwlock_trywrlock, (pthread_rwlock_t* l), (l))
WRAP(kLock, int, pthread_rwlock_timedrdlock, (pthread_rwlock_t* l, const struct timespec* t), (l, t))
WRAP(kLock, int, pthread_rwlock_timedwrlock, (pthread_rwlock_t* l, const struct timespec* t), (l, t))
WRAP(kLock, int, pthread_rwlock_unlock, (pthread_rwlock_t* l), (l))
WRAP(kLock, int, pthread_cond_wait, (pthread_cond_t* c, pthread_mutex_t* m), (c, m))
WRAP(kLock, int, pthread_cond_timedwait, (pthread_cond_t* c, pthread_mutex_t* m, const struct timespec* t), (c, m, t))
WRAP(kLock, int, pthread_cond_signal, (pthread_cond_t* c), (c))
WRAP(kLock, int, pthread_cond_broadcast, (pthread_cond_t* c), (c))
WRAP(kLock, int, pthread_spin_lock, (pthread_spinlock_t* l), (l))
WRAP(kLock, int, pthread_spin_trylock, (pthread_spinlock_t* l), (l))
WRAP(kLock, int, pthread_spin_unlock, (pthread_spinlock_t* l), (l))
WRAP(kLock, int, sem_wait, (sem_t* s), (s))
WRAP(kLock, int, sem_trywait, (sem_t* s), (s))
WRAP(kLock, int, sem_timedwait, (sem_t* s, const struct timespec* t), (s, t))
WRAP(kLock, int, sem_post, (sem_t* s), (s))
/* The waits that take a clock; the standard library's timed mutexes, shared timed mutexes and
 * condition variables wait through these. */
WRAP(kLock, int, pthread_mutex_clocklock, (pthread_mutex_t* m, clockid_t c, const struct timespec* t), (m, c, t))
WRAP(kLock, int, pthread_rwlock_clockrdlock, (pthread_rwlock_t* l, clockid_t c, const struct timespec* t), (l, c, t))
WRAP(kLock, int, pthread_rwlock_clockwrlock, (pthread_rwlock_t* l, clockid_t c, const struct timespec* t), (l, c, t))
WRAP(kLock, int, pthread_cond_clockwait,
     (pthread_cond_t* cv, pthread_mutex_t* m, clockid_t c, const struct timespec* t), (cv, m, c, t))
WRAP(kLock, int, sem_clockwait, (sem_t* s, clockid_t c, const struct timespec* t), (s, c, t))

WRAP(kSystemCall, ssize_t, read, (int fd, void* b, size_t n), (fd, b, n))
WRAP(kSystemCall, ssize_t, __read_chk, (int fd, void* b, size_t n, size_t room), (fd, b, n, room))
WRAP(kSystemCall, ssize_t, write, (int fd, const void* b, size_t n), (fd, b, n))
WRAP(kSystemCall, ssize_t, pread, (int fd, void* b, size_t n, off_t at), (fd, b, n, at))
WRAP(kSystemCall, ssize_t, pwrite, (int fd, const void* b, size_t n, off_t at), (fd, b, n, at))
WRAP(kSystemCall, ssize_t, readv, (int fd, const struct iovec* v, int n), (fd, v, n))
WRAP(kSystemCall, ssize_t, writev, (int fd, const struct iovec* v, int n), (fd, v, n))
WRAP(kSystemCall, int, __open_2, (const char* p, int flags), (p, flags))
WRAP(kSystemCall, int, __open64_2, (const char* p, int flags), (p, flags))
WRAP(kSystemCall, int, __openat_2, (int dir, const char* p, int flags), (dir, p, flags))
WRAP(kSystemCall, int, __openat64_2, (int dir, const char* p, int flags), (dir, p, flags))
WRAP(kSystemCall, int, creat, (const char* p, mode_t mode), (p, mode))
WRAP(kSystemCall, int, close, (int fd), (fd))
WRAP(kSystemCall, off_t, lseek, (int fd, off_t at, int whence), (fd, at, whence))
WRAP(kSystemCall, int, fsync, (int fd), (fd))
WRAP(kSystemCall, int, fdatasync, (int fd), (fd))
WRAP(kSystemCall, int, poll, (struct pollfd* f, nfds_t n, int timeout), (f, n, timeout))
WRAP(kSystemCall, int, ppoll, (struct pollfd* f, nfds_t n, const struct timespec* t, const sigset_t* s), (f, n, t, s))
WRAP(kSystemCall, int, select, (int n, fd_set* r, fd_set* w, fd_set* e, struct timeval* t), (n, r, w, e, t))
WRAP(kSystemCall, int, nanosleep, (const struct timespec* t, struct timespec* left), (t, left))
WRAP(kSystemCall, int, clock_nanosleep, (clockid_t c, int flags, const struct timespec* t, struct timespec* left), (c, flags, t, left))
WRAP(kSystemCall, int, usleep, (useconds_t us), (us))
WRAP(kSystemCall, unsigned, sleep, (unsigned s), (s))
WRAP(kSystemCall, int, sched_yield, (void), ())
WRAP(kSystemCall, void*, mmap, (void* a, size_t n, int prot, int flags, int fd, off_t at), (a, n, prot, flags, fd, at))
/* A plug-in built with 64-bit file offsets calls these in place of lseek, pread, pwrite, mmap and creat
 * (the headers rename them; open and fopen have their 64 variants among the others). */
WRAP(kSystemCall, off64_t, lseek64, (int fd, off64_t at, int whence), (fd, at, whence))
WRAP(kSystemCall, ssize_t, pread64, (int fd, void* b, size_t n, off64_t at), (fd, b, n, at))
WRAP(kSystemCall, ssize_t, pwrite64, (int fd, const void* b, size_t n, off64_t at), (fd, b, n, at))
WRAP(kSystemCall, void*, mmap64, (void* a, size_t n, int prot, int flags, int fd, off64_t at), (a, n, prot, flags, fd, at))
WRAP(kSystemCall, int, creat64, (const char* p, mode_t mode), (p, mode))
WRAP(kSystemCall, int, munmap, (void* a, size_t n), (a, n))
WRAP(kSystemCall, FILE*, fopen, (const char* p, const char* mode), (p, mode))
WRAP(kSystemCall, FILE*, fopen64, (const char* p, const char* mode), (p, mode))
WRAP(kSystemCall, int, fclose, (FILE* f), (f))
WRAP(kSystemCall, size_t, fread, (void* b, size_t size, size_t n, FILE* f), (b, size, n, f))
WRAP(kSystemCall, size_t, fwrite, (const void* b, size_t size, size_t n, FILE* f), (b, size, n, f))
WRAP(kSystemCall, int, fflush, (FILE* f), (f))
WRAP(kSystemCall, int, fputs, (const char* s, FILE* f), (s, f))
WRAP(kSystemCall, int, fputc, (int c, FILE* f), (c, f))
WRAP(kSystemCall, int, puts, (const char* s), (s))
WRAP(kSystemCall, int, vprintf, (const char* format, va_list a), (format, a))
WRAP(kSystemCall, int, vfprintf, (FILE* f, const char* format, va_list a), (f, format, a))
WRAP(kSystemCall, int, __vprintf_chk, (int flag, const char* format, va_list a), (flag, format, a))
WRAP(kSystemCall, int, __vfprintf_chk, (FILE* f, int flag, const char* format, va_list a), (f, flag, format, a))

/* ---- the variadic ones ---- */

/* open and openat take a mode only when they may create a file. */
static int takesMode(int flags) { return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE; }

/* `params` end in `int flags, ...`; `args` pass `mode` where the C library takes it. */
#define WRAP_OPEN(name, params, args)                     \
    NEXT_DECLARE(name)                                    \
    int name params {                                     \
        vsthost_watch_record(kSystemCall, #name);         \
        mode_t mode = 0;                                  \
        if (takesMode(flags)) {                           \
            va_list more;                                 \
            va_start(more, flags);                        \
            mode = va_arg(more, mode_t);                  \
            va_end(more);                                 \
        }                                                 \
        return NEXT(name) args;                           \
    }
WRAP_OPEN(open, (const char* path, int flags, ...), (path, flags, mode))
WRAP_OPEN(open64, (const char* path, int flags, ...), (path, flags, mode))
WRAP_OPEN(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
WRAP_OPEN(openat64, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))

NEXT_DECLARE(ioctl)
int ioctl(int fd, unsigned long request, ...) {
    vsthost_watch_record(kSystemCall, "ioctl");
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    return NEXT(ioctl)(fd, request, argument);
}

/* syscall takes at most six arguments; reading six from a shorter list reads registers or stack
 * slots the caller did not set, which the kernel then ignores. */
NEXT_DECLARE(syscall)
long syscall(long number, ...) {
    vsthost_watch_record(kSystemCall, "syscall");
    va_list args;
    va_start(args, number);
    long a[6];
    for (int i = 0; i < 6; ++i) a[i] = va_arg(args, long);
    va_end(args);
    return NEXT(syscall)(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

int printf(const char* format, ...) {
    vsthost_watch_record(kSystemCall, "printf");
    va_list args;
    va_start(args, format);
    const int n = NEXT(vprintf)(format, args);
    va_end(args);
    return n;
}

int fprintf(FILE* stream, const char* format, ...) {
    vsthost_watch_record(kSystemCall, "fprintf");
    va_list args;
    va_start(args, format);
    const int n = NEXT(vfprintf)(stream, format, args);
    va_end(args);
    return n;
}

int __printf_chk(int flag, const char* format, ...) {
    vsthost_watch_record(kSystemCall, "__printf_chk");
    va_list args;
    va_start(args, format);
    const int n = NEXT(__vprintf_chk)(flag, format, args);
    va_end(args);
    return n;
}

int __fprintf_chk(FILE* stream, int flag, const char* format, ...) {
    vsthost_watch_record(kSystemCall, "__fprintf_chk");
    va_list args;
    va_start(args, format);
    const int n = NEXT(__vfprintf_chk)(stream, flag, format, args);
    va_end(args);
    return n;
}

__attribute__((constructor)) static void announce(void) { vsthost_watch_mark_interposed(); }
