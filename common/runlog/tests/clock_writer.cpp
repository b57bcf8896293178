// Test writer for the run log under a clock past January 2038: every way this
// program could read the time (the system's calls and the C runtime's time
// functions, as its own import table names them) is pointed at a clock that stands
// at 2040-03-01 10:00:00, then one record is written to LOG. A 32-bit C runtime's
// time_t cannot hold that date.
//   clock_writer LOG
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/runlog/runlog.h"

namespace {

constexpr WORD kYear = 2040, kMonth = 3, kDay = 1, kHour = 10;

void WINAPI PinnedLocalTime(LPSYSTEMTIME st) { *st = SYSTEMTIME{kYear, kMonth, 4, kDay, kHour, 0, 0, 0}; }
void WINAPI PinnedSystemTimeAsFileTime(LPFILETIME ft) {
  SYSTEMTIME st{kYear, kMonth, 4, kDay, kHour, 0, 0, 0};
  SystemTimeToFileTime(&st, ft);
}
// Seconds since 1970 of the pinned clock, as UTC.
constexpr std::int64_t kPinnedSeconds = 2214208800;
std::int32_t __cdecl PinnedTime32(std::int32_t* out) {
  auto t = static_cast<std::int32_t>(static_cast<std::uint32_t>(kPinnedSeconds));  // wraps
  if (out) *out = t;
  return t;
}
std::int64_t __cdecl PinnedTime64(std::int64_t* out) {
  if (out) *out = kPinnedSeconds;
  return kPinnedSeconds;
}

// Points the import of `name` in this program's import table at `replacement`.
int Redirect(const char* name, void* replacement) {
  auto* base = reinterpret_cast<std::uint8_t*>(GetModuleHandleA(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  int redirected = 0;
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       dir.VirtualAddress != 0 && imp->Name != 0; ++imp) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      ++redirected;
    }
  }
  return redirected;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: clock_writer LOG\n");
    return 2;
  }
  int redirected =
      Redirect("GetLocalTime", reinterpret_cast<void*>(&PinnedLocalTime)) +
      Redirect("GetSystemTimeAsFileTime", reinterpret_cast<void*>(&PinnedSystemTimeAsFileTime)) +
      Redirect("_time32", reinterpret_cast<void*>(&PinnedTime32)) +
      Redirect("_time64", reinterpret_cast<void*>(&PinnedTime64)) +
      Redirect("time", reinterpret_cast<void*>(sizeof(void*) == 4 ? reinterpret_cast<void*>(&PinnedTime32)
                                                                  : reinterpret_cast<void*>(&PinnedTime64)));
  if (redirected == 0) {
    std::fprintf(stderr, "clock_writer: no clock import found to pin\n");
    return 2;
  }
  runlog::WriteLogLine(argv[1], "past 2038", "launcher", 227);
  return 0;
}
