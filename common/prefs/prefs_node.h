// The client's Java preferences node: one value per client installation, named as a
// launch link names it, its data the client directory. A 32-bit client's Java writes
// it in the 32-bit registry view, a 64-bit client's in the 64-bit view; readers look
// in both, the 32-bit view first.
#pragma once

namespace prefs {

// Under HKEY_LOCAL_MACHINE.
inline constexpr char kNodePath[] = "Software\\JavaSoft\\Prefs\\norvane\\zav";

enum class View { k32, k64 };
// The order in which the views are read; a value found in the first wins.
inline constexpr View kViews[] = {View::k32, View::k64};

// The type the registry reports for a value's data.
enum class DataType { kString, kOther };

// Only string data (REG_SZ) that is not empty names a client directory: empty text
// would make a path of the current drive's root, and a number or binary data read as
// text is no directory at all (a DWORD 0x3a43 reads "C:"). Such a value counts as
// missing.
inline bool NamesDirectory(DataType type, const char* data) {
  return type == DataType::kString && data[0] != '\0';
}

}  // namespace prefs
