// Directory Services membership (membership.h), macOS 10.4 and later:
// https://developer.apple.com/documentation/membership (mbr_uid_to_uuid, mbr_gid_to_uuid,
// mbr_check_membership, mbr_uuid_to_id; ID_TYPE_UID 0, ID_TYPE_GID 1).
#pragma once

#include <sys/types.h>
#include <uuid/uuid.h>

#define ID_TYPE_UID 0
#define ID_TYPE_GID 1

#ifdef __cplusplus
extern "C" {
#endif
int mbr_uid_to_uuid(uid_t uid, uuid_t uu);
int mbr_gid_to_uuid(gid_t gid, uuid_t uu);
int mbr_check_membership(const uuid_t user, const uuid_t group, int* ismember);
int mbr_uuid_to_id(const uuid_t uu, id_t* uid_or_gid, int* id_type);
#ifdef __cplusplus
}
#endif
