// Access control lists as macOS has them (sys/acl.h, acl(3), acl_get_fd_np(3),
// acl_get_perm_np(3)): https://developer.apple.com/documentation/kernel/acl_t and
// the manual pages of macOS 11. Values: ACL_FIRST_ENTRY 0, ACL_NEXT_ENTRY -1,
// ACL_TYPE_EXTENDED 0x100, ACL_EXTENDED_ALLOW 1, and the permission bits below.
#pragma once

#include <sys/types.h>

// guid_t of sys/kauth.h: https://developer.apple.com/documentation/kernel/guid_t
typedef union {
  unsigned char g_guid[16];
  unsigned int g_guid_asint[16 / sizeof(unsigned int)];
} guid_t;

typedef struct _acl* acl_t;
typedef struct _acl_entry* acl_entry_t;
typedef struct _acl_permset* acl_permset_t;
typedef enum { ACL_UNDEFINED_TAG = 0, ACL_EXTENDED_ALLOW = 1, ACL_EXTENDED_DENY = 2 } acl_tag_t;
typedef enum { ACL_TYPE_EXTENDED = 0x00000100, ACL_TYPE_ACCESS = 0, ACL_TYPE_DEFAULT = 1 } acl_type_t;
typedef enum {
  ACL_READ_DATA = 1 << 1,
  ACL_WRITE_DATA = 1 << 2,
  ACL_EXECUTE = 1 << 3,
  ACL_DELETE = 1 << 4,
  ACL_APPEND_DATA = 1 << 5,
  ACL_DELETE_CHILD = 1 << 6,
  ACL_READ_ATTRIBUTES = 1 << 7,
  ACL_WRITE_ATTRIBUTES = 1 << 8,
  ACL_READ_EXTATTRIBUTES = 1 << 9,
  ACL_WRITE_EXTATTRIBUTES = 1 << 10,
  ACL_READ_SECURITY = 1 << 11,
  ACL_WRITE_SECURITY = 1 << 12,
  ACL_CHANGE_OWNER = 1 << 13,
} acl_perm_t;
#define ACL_FIRST_ENTRY 0
#define ACL_NEXT_ENTRY (-1)

#ifdef __cplusplus
extern "C" {
#endif
acl_t acl_get_fd_np(int fd, acl_type_t type);
int acl_get_entry(acl_t acl, int entry_id, acl_entry_t* entry_p);
int acl_get_tag_type(acl_entry_t entry_d, acl_tag_t* tag_type_p);
int acl_get_permset(acl_entry_t entry_d, acl_permset_t* permset_p);
int acl_get_perm_np(acl_permset_t permset_d, acl_perm_t perm);
void* acl_get_qualifier(acl_entry_t entry_d);
int acl_free(void* obj_p);
#ifdef __cplusplus
}
#endif
