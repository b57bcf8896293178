#include "token/failure_text.h"

#include <cstdio>

namespace qtok {

namespace {

struct KnownResult {
  std::uint32_t code;
  const char* name;
};

// The codes COM, the loader and this library give; the component's own codes are
// its business and keep their number only.
constexpr KnownResult kKnown[] = {
    {0x80004001u, "E_NOTIMPL"},
    {0x80004002u, "E_NOINTERFACE"},
    {0x80004003u, "E_POINTER"},
    {0x80004004u, "E_ABORT"},
    {0x80004005u, "E_FAIL"},
    {0x8000FFFFu, "E_UNEXPECTED"},
    {0x80070005u, "E_ACCESSDENIED"},
    {0x80070006u, "E_HANDLE"},
    {0x8007000Eu, "E_OUTOFMEMORY"},
    {0x80070057u, "E_INVALIDARG"},
    {0x8007007Eu, "ERROR_MOD_NOT_FOUND"},
    {0x8007007Fu, "ERROR_PROC_NOT_FOUND"},
    {0x800700C1u, "ERROR_BAD_EXE_FORMAT"},
    {0x80040110u, "CLASS_E_NOAGGREGATION"},
    {0x80040111u, "CLASS_E_CLASSNOTAVAILABLE"},
    {0x80040154u, "REGDB_E_CLASSNOTREG"},
    {0x800401F0u, "CO_E_NOTINITIALIZED"},
    {0x800401F8u, "CO_E_DLLNOTFOUND"},
    {0x800401F9u, "CO_E_ERRORINDLL"},
    {0x80010106u, "RPC_E_CHANGED_MODE"},
    {0x8001010Eu, "RPC_E_WRONG_THREAD"},
};

}  // namespace

Text& Text::Append(const char* bytes) {
  for (const char* p = bytes; *p != '\0' && Room(1); ++p) {
    const auto c = static_cast<unsigned char>(*p);
    Put(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  return *this;
}

Text& Text::Append(const Text& other) {
  for (std::size_t i = 0; i < other.length_;) {
    const auto lead = static_cast<unsigned char>(other.text_[i]);
    const std::size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
    if (i + bytes > other.length_ || !Room(bytes)) break;
    for (std::size_t k = 0; k < bytes; ++k) Put(other.text_[i + k]);
    i += bytes;
  }
  return *this;
}

Text& Text::AppendNumber(long long value) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%lld", value);
  return Append(digits);
}

Text& Text::AppendUtf16(const char16_t* units, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    unsigned u = units[i];
    if (u == '\r' || u == '\n' || u == '\t') u = ' ';
    // Modified UTF-8: NUL as two bytes, each surrogate of a pair as three.
    const std::size_t bytes = u != 0 && u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
    if (!Room(bytes)) break;
    if (bytes == 1) {
      Put(static_cast<char>(u));
    } else if (bytes == 2) {
      Put(static_cast<char>(0xC0 | (u >> 6)));
      Put(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      Put(static_cast<char>(0xE0 | (u >> 12)));
      Put(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      Put(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  // A description ends with its line end; the message does not.
  while (length_ > 0 && text_[length_ - 1] == ' ') text_[--length_] = '\0';
  return *this;
}

Text& Text::AppendGuid(const zav::com::Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2],
                g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return Append(text);
}

const char* SymbolicName(zav::com::HResult hr) {
  for (const KnownResult& known : kKnown) {
    if (known.code == static_cast<std::uint32_t>(hr)) return known.name;
  }
  return nullptr;
}

Text FailureMessage(zav::com::HResult hr, const char* method, const Text& reason) {
  char head[24];
  std::snprintf(head, sizeof head, "ER: 0x%08x ", static_cast<unsigned>(static_cast<std::uint32_t>(hr)));
  Text message;
  message.Append(head).Append(method);
  if (const char* name = SymbolicName(hr)) message.Append(": ").Append(name);
  if (!reason.empty()) message.Append(": ").Append(reason);
  return message;
}

}  // namespace qtok
