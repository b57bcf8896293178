// How the x86 kernels prefetch, for frames that come from main memory: each row
// asks for the part of the frame a few kilobytes further on, so that by the time
// the walk gets there it is in cache.
#pragma once

#include <cstddef>
#include <cstdint>

namespace capture::mirror {

// A read hint for the byte `ahead` bytes after p. Prefetches never fault, so it may
// lie past the frame; the address is formed as an integer for that reason.
inline void Prefetch(const std::uint8_t* p, std::size_t ahead) {
  __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(p) + ahead), 0, 3);
}

// How far ahead of the row being worked the prefetches go: a row, at least four
// kilobytes. Over one row the front and back walks then prefetch one contiguous
// row's length of the frame, and row after row the whole of it.
inline std::size_t PrefetchDistance(std::size_t rowBytes) { return rowBytes > 4096 ? rowBytes : 4096; }

}  // namespace capture::mirror
