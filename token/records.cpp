#include "records.h"

#include "token_frame.h"

namespace qtok {

namespace {

#define QTOK_FIELD(record, name, type) \
  { #name, type, offsetof(record, name) }

constexpr RecordField kFileInfoFields[] = {
    QTOK_FIELD(FileInfo, lId, 'I'),
    QTOK_FIELD(FileInfo, lFlags, 'I'),
    QTOK_FIELD(FileInfo, lFileSize, 'I'),
    QTOK_FIELD(FileInfo, chFileType, 'B'),
    QTOK_FIELD(FileInfo, chReadAccess, 'B'),
    QTOK_FIELD(FileInfo, chWriteAccess, 'B'),
    QTOK_FIELD(FileInfo, chCryptAccess, 'B'),
    QTOK_FIELD(FileInfo, lReserved1, 'I'),
    QTOK_FIELD(FileInfo, lReserved2, 'I'),
    QTOK_FIELD(FileInfo, lReserved3, 'I'),
    QTOK_FIELD(FileInfo, chGrantedAccess, 'B'),
    QTOK_FIELD(FileInfo, chReserved1, 'B'),
    QTOK_FIELD(FileInfo, chReserved2, 'B'),
    QTOK_FIELD(FileInfo, chReserved3, 'B'),
    QTOK_FIELD(FileInfo, lReserved4, 'I'),
    QTOK_FIELD(FileInfo, lReserved5, 'I'),
    QTOK_FIELD(FileInfo, lReserved6, 'I'),
};

constexpr RecordField kDirInfoFields[] = {
    QTOK_FIELD(DirInfo, lId, 'I'),        QTOK_FIELD(DirInfo, lFlags, 'I'),
    QTOK_FIELD(DirInfo, lMaxSize, 'I'),   QTOK_FIELD(DirInfo, lMaxEntries, 'I'),
    QTOK_FIELD(DirInfo, lReserved1, 'I'), QTOK_FIELD(DirInfo, lReserved2, 'I'),
    QTOK_FIELD(DirInfo, lReserved3, 'I'), QTOK_FIELD(DirInfo, lReserved4, 'I'),
    QTOK_FIELD(DirInfo, lReserved5, 'I'), QTOK_FIELD(DirInfo, lReserved6, 'I'),
    QTOK_FIELD(DirInfo, lReserved7, 'I'), QTOK_FIELD(DirInfo, lReserved8, 'I'),
};

constexpr RecordField kAccessInfoFields[] = {
    QTOK_FIELD(AccessInfo, chMaxPinRetries, 'B'), QTOK_FIELD(AccessInfo, chCurPinCounter, 'B'),
    QTOK_FIELD(AccessInfo, chFlags, 'B'),         QTOK_FIELD(AccessInfo, chReserved2, 'B'),
    QTOK_FIELD(AccessInfo, chCreateAccess, 'B'),  QTOK_FIELD(AccessInfo, chDeleteAccess, 'B'),
    QTOK_FIELD(AccessInfo, chReserved3, 'B'),     QTOK_FIELD(AccessInfo, chReserved4, 'B'),
    QTOK_FIELD(AccessInfo, chReserved5, 'B'),     QTOK_FIELD(AccessInfo, chReserved6, 'B'),
    QTOK_FIELD(AccessInfo, chReserved7, 'B'),     QTOK_FIELD(AccessInfo, chReserved8, 'B'),
    QTOK_FIELD(AccessInfo, chReserved9, 'B'),     QTOK_FIELD(AccessInfo, chReserved10, 'B'),
    QTOK_FIELD(AccessInfo, chReserved11, 'B'),    QTOK_FIELD(AccessInfo, chReserved12, 'B'),
};

constexpr RecordField kSysInfoFields[] = {
    QTOK_FIELD(SysInfo, lFlags, 'I'),        QTOK_FIELD(SysInfo, lFreeSpace, 'I'),
    QTOK_FIELD(SysInfo, lReserved1, 'I'),    QTOK_FIELD(SysInfo, lReserved2, 'I'),
    QTOK_FIELD(SysInfo, chFileSysType, 'B'), QTOK_FIELD(SysInfo, chMaxDirLevels, 'B'),
    QTOK_FIELD(SysInfo, chReserved1, 'B'),   QTOK_FIELD(SysInfo, chReserved2, 'B'),
    QTOK_FIELD(SysInfo, lReserved3, 'I'),    QTOK_FIELD(SysInfo, lReserved4, 'I'),
    QTOK_FIELD(SysInfo, lReserved5, 'I'),
};

constexpr RecordField kVersionInfoFields[] = {
    QTOK_FIELD(VersionInfo, lDriverVersion, 'I'),   QTOK_FIELD(VersionInfo, chFwVersionMajor, 'B'),
    QTOK_FIELD(VersionInfo, chFwVersionMinor, 'B'), QTOK_FIELD(VersionInfo, chProductCode, 'B'),
    QTOK_FIELD(VersionInfo, chConfiguration, 'B'),
};

#undef QTOK_FIELD

template <std::size_t N>
constexpr int CountOf(const RecordField (&)[N]) {
  return static_cast<int>(N);
}

std::int32_t LoadLittleEndian(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                   static_cast<std::uint32_t>(p[2]) << 16 |
                                   static_cast<std::uint32_t>(p[3]) << 24);
}

void StoreLittleEndian(std::uint8_t* p, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

const RecordLayout kFileInfoLayout = {sizeof(FileInfo), kFileInfoFields, CountOf(kFileInfoFields)};
const RecordLayout kDirInfoLayout = {sizeof(DirInfo), kDirInfoFields, CountOf(kDirInfoFields)};
const RecordLayout kAccessInfoLayout = {sizeof(AccessInfo), kAccessInfoFields, CountOf(kAccessInfoFields)};
const RecordLayout kSysInfoLayout = {sizeof(SysInfo), kSysInfoFields, CountOf(kSysInfoFields)};
const RecordLayout kVersionInfoLayout = {sizeof(VersionInfo), kVersionInfoFields,
                                         CountOf(kVersionInfoFields)};

bool RecordBinding::Bind(JNIEnv* env, jobject record, const RecordLayout& layout) {
  if (record == nullptr) {
    ThrowComFail(env, kPointer);
    return false;
  }
  if (layout.count > kMaxFields) {
    ThrowComFail(env, kUnexpected);
    return false;
  }
  jclass cls = env->GetObjectClass(record);
  if (cls == nullptr) return false;
  for (int i = 0; i < layout.count; ++i) {
    const RecordField& f = layout.fields[i];
    const char signature[2] = {f.type, '\0'};
    ids_[i] = env->GetFieldID(cls, f.name, signature);
    if (ids_[i] == nullptr) {
      env->DeleteLocalRef(cls);
      return false;
    }
  }
  env->DeleteLocalRef(cls);
  record_ = record;
  layout_ = &layout;
  return true;
}

void RecordBinding::Read(JNIEnv* env, void* buffer) const {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  for (int i = 0; i < layout_->count; ++i) {
    const RecordField& f = layout_->fields[i];
    if (f.type == 'I') {
      StoreLittleEndian(bytes + f.offset, env->GetIntField(record_, ids_[i]));
    } else {
      bytes[f.offset] = static_cast<std::uint8_t>(env->GetByteField(record_, ids_[i]));
    }
  }
}

void RecordBinding::Write(JNIEnv* env, const void* buffer) const {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  for (int i = 0; i < layout_->count; ++i) {
    const RecordField& f = layout_->fields[i];
    if (f.type == 'I') {
      env->SetIntField(record_, ids_[i], LoadLittleEndian(bytes + f.offset));
    } else {
      env->SetByteField(record_, ids_[i], static_cast<jbyte>(bytes[f.offset]));
    }
  }
}

}  // namespace qtok
