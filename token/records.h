// The five records the token object reads or fills, and their copying to and from
// the Java objects that mirror them field by field (same names, "I" or "B").
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>

#include "token/token_component.h"

namespace qtok {

struct Native;

struct RecordField {
  const char* name;
  char type;  // 'I': 32-bit little-endian integer, 'B': one byte
  std::size_t offset;
};

struct RecordLayout {
  std::size_t size;
  const RecordField* fields;
  int count;
};

extern const RecordLayout kFileInfoLayout;
extern const RecordLayout kDirInfoLayout;
extern const RecordLayout kAccessInfoLayout;
extern const RecordLayout kSysInfoLayout;
extern const RecordLayout kVersionInfoLayout;

// The field identifiers of one record object, looked up through its class when a
// native method starts, so that a class lacking a field is refused before the
// component is called and a record is never half written.
class RecordBinding {
 public:
  // False with an exception pending: ComFailException with E_POINTER for a null
  // record, the JVM's NoSuchFieldError for a missing field.
  [[nodiscard]] bool Bind(const Native& call, jobject record, const RecordLayout& layout);
  // Java object into the buffer (layout.size bytes).
  void Read(JNIEnv* env, void* buffer) const;
  // Buffer into the Java object.
  void Write(JNIEnv* env, const void* buffer) const;

 private:
  static constexpr int kMaxFields = 17;
  jobject record_ = nullptr;
  const RecordLayout* layout_ = nullptr;
  jfieldID ids_[kMaxFields] = {};
};

}  // namespace qtok
