/* testing/modemshim/modemlines.h - modem lines of one pty, shared between the
 * simulator (the module end) and the shim inside the Wine processes (the PC end).
 * A pty has no modem lines, so each simulated port gets a small mapped file:
 * the PC end writes DTR/RTS, the module end writes CTS/DSR/CD/RI. */
#ifndef VKS_MODEMLINES_H
#define VKS_MODEMLINES_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

#define VKS_MODEMLINES_MAGIC 0x4d4c4b56u /* "VKLM" */

struct vks_modemlines {
  uint32_t magic;
  uint32_t pc_lines;     /* TIOCM_DTR | TIOCM_RTS, written by the shim */
  uint32_t module_lines; /* TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG, by the simulator */
  uint32_t dtr_changes;  /* bumped on every change of DTR, so a short pulse is not lost */
};

#define VKS_MODEMLINES_PC_MASK (TIOCM_DTR | TIOCM_RTS)
#define VKS_MODEMLINES_MODULE_MASK (TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG)

/* Folder of the state files: $VKS_MODEMSHIM_DIR, else one per user under /tmp. */
static inline void vks_modemlines_dir(char* out, size_t size) {
  const char* dir = getenv("VKS_MODEMSHIM_DIR");
  if (dir && *dir)
    snprintf(out, size, "%s", dir);
  else
    snprintf(out, size, "/tmp/vks-modemlines-%u", (unsigned)getuid());
}

/* The file is named after the pty slave's device number, which both ends see
 * through fstat whatever path they opened it by. */
static inline void vks_modemlines_path(char* out, size_t size, dev_t rdev) {
  char dir[512];
  vks_modemlines_dir(dir, sizeof dir);
  snprintf(out, size, "%s/tty-%u-%u", dir, (unsigned)major(rdev), (unsigned)minor(rdev));
}

#endif
