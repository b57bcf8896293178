// The text of a ComFailException: "ER: 0x%08x" over the result (what callers
// parse), then the Java method, the result's symbolic name where it is a known one
// and what is known of the reason:
//   ER: 0x80070057 Verify: E_INVALIDARG: p3 (64) is more than the 2 elements of p2
// All of it is kept in modified UTF-8, the form ThrowNew takes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/com/com_types.h"

namespace qtok {

// A bounded text; what does not fit is cut, never written past the end.
class Text {
 public:
  static constexpr std::size_t kCapacity = 480;

  const char* c_str() const { return text_; }
  bool empty() const { return length_ == 0; }

  // Printable ASCII as it is; any other byte (a path in an unknown code page) as '?'.
  Text& Append(const char* bytes);
  Text& AppendNumber(long long value);
  // Another text as it is, cut between characters.
  Text& Append(const Text& other);
  // UTF-16 (a Windows description) as modified UTF-8, line ends as spaces.
  Text& AppendUtf16(const char16_t* units, std::size_t count);
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  Text& AppendGuid(const zav::com::Guid& guid);

 private:
  bool Room(std::size_t bytes) const { return length_ + bytes < kCapacity; }
  void Put(char c) { text_[length_++] = c; }
  char text_[kCapacity] = {};
  std::size_t length_ = 0;
};

// The SDK's name of a failure code this library meets ("E_INVALIDARG"); null for
// any other.
const char* SymbolicName(zav::com::HResult hr);

// The whole message; `method` is the Java method, `reason` may be empty.
Text FailureMessage(zav::com::HResult hr, const char* method, const Text& reason);

}  // namespace qtok
