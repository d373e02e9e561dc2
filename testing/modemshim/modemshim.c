/* testing/modemshim/modemshim.c - LD_PRELOAD library for the Wine processes of
 * the tests: answers the modem-line ioctls on a simulated port's pty from the
 * state file the simulator shares (modemlines.h). A pty has no modem lines, so
 * Wine's GetCommModemStatus and EscapeCommFunction(SETDTR/CLRDTR) would fail
 * with ERROR_NOT_SUPPORTED. Every other ioctl, and every descriptor without a
 * state file, goes to the C library unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include "modemlines.h"

typedef int (*ioctl_fn)(int, unsigned long, ...);

static ioctl_fn next_ioctl(void) {
  static ioctl_fn fn;
  ioctl_fn f = __atomic_load_n(&fn, __ATOMIC_ACQUIRE);
  if (!f) {
    f = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    __atomic_store_n(&fn, f, __ATOMIC_RELEASE);
  }
  return f;
}

/* Mapped per call: the simulator of a later test may reuse the pty number with
 * a new file, and a call every few ms costs nothing next to Wine's own work. */
static struct vks_modemlines* map_lines(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return NULL;
  char path[640];
  vks_modemlines_path(path, sizeof path, st.st_rdev);
  int f = open(path, O_RDWR | O_CLOEXEC);
  if (f < 0) return NULL;
  struct stat fst;
  void* p = MAP_FAILED;
  if (fstat(f, &fst) == 0 && fst.st_size >= (off_t)sizeof(struct vks_modemlines))
    p = mmap(NULL, sizeof(struct vks_modemlines), PROT_READ | PROT_WRITE, MAP_SHARED, f, 0);
  close(f);
  if (p == MAP_FAILED) return NULL;
  struct vks_modemlines* lines = (struct vks_modemlines*)p;
  if (__atomic_load_n(&lines->magic, __ATOMIC_ACQUIRE) != VKS_MODEMLINES_MAGIC) {
    munmap(p, sizeof *lines);
    return NULL;
  }
  return lines;
}

static void set_pc_lines(struct vks_modemlines* lines, unsigned bic, unsigned bis) {
  uint32_t old = __atomic_load_n(&lines->pc_lines, __ATOMIC_ACQUIRE);
  uint32_t now;
  do {
    now = (old & ~bic) | bis;
  } while (!__atomic_compare_exchange_n(&lines->pc_lines, &old, now, 0, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE));
  if ((now ^ old) & TIOCM_DTR) __atomic_add_fetch(&lines->dtr_changes, 1, __ATOMIC_ACQ_REL);
}

static void trace(int fd, unsigned long request, unsigned value) {
  const char* t = getenv("VKS_MODEMSHIM_TRACE");
  if (t && *t)
    fprintf(stderr, "modemshim: fd %d req 0x%lx value 0x%x\n", fd, request, value);
}

int ioctl(int fd, unsigned long request, ...) {
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);

  if (request == TIOCMGET || request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET) {
    struct vks_modemlines* lines = arg ? map_lines(fd) : NULL;
    if (lines) {
      int* bits = (int*)arg;
      unsigned pc = (unsigned)(request == TIOCMGET ? 0 : *bits) & VKS_MODEMLINES_PC_MASK;
      if (request == TIOCMBIS) set_pc_lines(lines, 0, pc);
      else if (request == TIOCMBIC) set_pc_lines(lines, pc, 0);
      else if (request == TIOCMSET) set_pc_lines(lines, VKS_MODEMLINES_PC_MASK, pc);
      unsigned all = __atomic_load_n(&lines->pc_lines, __ATOMIC_ACQUIRE) |
                     (__atomic_load_n(&lines->module_lines, __ATOMIC_ACQUIRE) &
                      VKS_MODEMLINES_MODULE_MASK);
      if (request == TIOCMGET) *bits = (int)all;
      trace(fd, request, all);
      munmap(lines, sizeof *lines);
      return 0;
    }
  }
  return next_ioctl()(fd, request, arg);
}
