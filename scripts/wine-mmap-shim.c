/*
 * Preloaded into 32-bit Wine processes when the kernel cannot run i386 code and the 32-bit
 * Wine loader runs under qemu-i386 user emulation (see install-deps.sh).
 *
 * At start-up Wine reserves the Windows part of the address space with mmap(addr, size,
 * PROT_NONE, MAP_FIXED_NOREPLACE|MAP_NORESERVE) and, whenever a request fails, halves it and
 * retries down to 64 KiB pieces. qemu 7.2 does not know MAP_FIXED_NOREPLACE and hands back
 * some other address, so nearly every request fails: about 65,000 mmap/munmap pairs, each
 * slow under emulation, a minute of CPU per process. Small reservations only keep Linux
 * libraries out of holes, so here they fail at once without a system call; large ones go
 * through unchanged, as does every other mapping.
 *
 * Built freestanding (no 32-bit libc or libgcc is needed to build it): system calls go
 * through int 0x80, errno through the C library's __errno_location at run time.
 */
typedef unsigned int size_t;
extern int *__errno_location(void);

struct old_mmap_args { unsigned long addr, len, prot, flags, fd, offset; };

static long sys_old_mmap(struct old_mmap_args *a)
{
    long r;
    __asm__ volatile("int $0x80" : "=a"(r) : "a"(90 /* __NR_mmap */), "b"(a) : "memory");
    return r;
}

#define SHIM_MAP_NORESERVE 0x4000
#define SHIM_MAP_FIXED_NOREPLACE 0x100000
#define SHIM_EEXIST 17
#define SHIM_SMALL_RESERVATION (64u << 20)

void *mmap64(void *addr, size_t len, int prot, int flags, int fd, long long off)
{
    if ((flags & SHIM_MAP_FIXED_NOREPLACE) && (flags & SHIM_MAP_NORESERVE) && prot == 0 && addr &&
        len < SHIM_SMALL_RESERVATION) {
        *__errno_location() = SHIM_EEXIST;
        return (void *)-1;
    }
    struct old_mmap_args a = {(unsigned long)addr, len,        (unsigned long)prot,
                              (unsigned long)flags, (unsigned long)fd, (unsigned long)off};
    long r = sys_old_mmap(&a);
    if ((unsigned long)r > 0xfffff000ul) {
        *__errno_location() = (int)-r;
        return (void *)-1;
    }
    return (void *)r;
}

void *mmap(void *addr, size_t len, int prot, int flags, int fd, long off)
{
    return mmap64(addr, len, prot, flags, fd, off);
}
