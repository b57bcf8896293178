#include "token/records.h"

#include "token/token_frame.h"

namespace qtok {

namespace {

// A record's field table from its description (token_component.h).
#define QTOK_FIELD(record, type, name) {#name, #type[0], offsetof(record, name)},
constexpr RecordField kFileInfoFields[] = {QTOK_FILE_INFO(QTOK_FIELD, FileInfo)};
constexpr RecordField kDirInfoFields[] = {QTOK_DIR_INFO(QTOK_FIELD, DirInfo)};
constexpr RecordField kAccessInfoFields[] = {QTOK_ACCESS_INFO(QTOK_FIELD, AccessInfo)};
constexpr RecordField kSysInfoFields[] = {QTOK_SYS_INFO(QTOK_FIELD, SysInfo)};
constexpr RecordField kVersionInfoFields[] = {QTOK_VERSION_INFO(QTOK_FIELD, VersionInfo)};
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

bool RecordBinding::Bind(const Native& call, jobject record, const RecordLayout& layout) {
  JNIEnv* env = call.env;
  if (record == nullptr) {
    Text reason;
    ThrowComFail(call, kPointer, reason.Append("the record is null"));
    return false;
  }
  if (layout.count > kMaxFields) {
    ThrowComFail(call, kUnexpected);
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
