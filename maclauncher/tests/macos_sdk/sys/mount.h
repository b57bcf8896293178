// statfs as macOS declares it (sys/mount.h, statfs(2) of macOS 11, the 64-bit inode
// form), with the mount flags the guard reads: MNT_LOCAL 0x1000,
// MNT_QUARANTINE 0x400, MNT_IGNORE_OWNERSHIP 0x200000.
// https://developer.apple.com/library/archive/documentation/System/Conceptual/ManPages_iPhoneOS/man2/statfs.2.html
#pragma once

#include <stdint.h>
#include <sys/types.h>

#define MFSTYPENAMELEN 16
#define MAXPATHLEN 1024
#define MNT_QUARANTINE 0x00000400
#define MNT_LOCAL 0x00001000
#define MNT_IGNORE_OWNERSHIP 0x00200000

// fsid_t (two 32-bit words) comes with sys/types.h.
struct statfs {
  uint32_t f_bsize;
  int32_t f_iosize;
  uint64_t f_blocks;
  uint64_t f_bfree;
  uint64_t f_bavail;
  uint64_t f_files;
  uint64_t f_ffree;
  fsid_t f_fsid;
  uid_t f_owner;
  uint32_t f_type;
  uint32_t f_flags;
  uint32_t f_fssubtype;
  char f_fstypename[MFSTYPENAMELEN];
  char f_mntonname[MAXPATHLEN];
  char f_mntfromname[MAXPATHLEN];
  uint32_t f_flags_ext;
  uint32_t f_reserved[7];
};

#ifdef __cplusplus
extern "C" {
#endif
int statfs(const char* path, struct statfs* buf);
int fstatfs(int fd, struct statfs* buf);
#ifdef __cplusplus
}
#endif
