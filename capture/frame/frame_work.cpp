#include "capture/frame/frame_work.h"

#include <climits>
#include <cstring>

#include "capture/mirror/mirror.h"
#include "capture/mirror/mirror_kernels.h"

namespace capture::frame {

using graph::Guid;

namespace {

enum class Layout { kNone, kPlanar, kPacked422, kRgb24, kRgb32 };

// In the order the subtypes are tested.
Layout LayoutOf(const Guid& subtype) {
  if (subtype == graph::kSubtypeI420 || subtype == graph::kSubtypeIYUV || subtype == graph::kSubtypeYV12) {
    return Layout::kPlanar;
  }
  if (subtype == graph::kSubtypeYUY2 || subtype == graph::kSubtypeYUYV) {
    return Layout::kPacked422;
  }
  if (subtype == graph::kSubtypeRGB24) {
    return Layout::kRgb24;
  }
  if (subtype == graph::kSubtypeRGB32) {
    return Layout::kRgb32;
  }
  return Layout::kNone;
}

}  // namespace

std::int64_t MirrorLayoutSize(const Guid& subtype, std::int32_t width, std::int32_t height) {
  // A negative height is a top-down frame: its rows lie the other way round, which
  // changes nothing left to right.
  const std::int64_t w = width;
  const std::int64_t h = height < 0 ? -static_cast<std::int64_t>(height) : height;
  if (w <= 0 || h <= 0) {
    return -1;
  }
  switch (LayoutOf(subtype)) {
    case Layout::kPlanar: {
      // Y plane, then the two chroma planes at W*H and W*H*5/4; the second one
      // ends furthest out.
      const std::int64_t chroma = (h / 2) * (w / 2);
      const std::int64_t second = (w * h * 5) / 4 + chroma;
      const std::int64_t first = w * h + chroma;
      return second > first ? second : first;
    }
    case Layout::kPacked422:
      return 2 * w * h;
    case Layout::kRgb24:
      return 3 * w * h;
    case Layout::kRgb32:
      return 4 * w * h;
    case Layout::kNone:
      break;
  }
  return -1;
}

namespace {

// How the rows of a layout are mirrored: the entry point with a chosen kernel set,
// and the bytes of one unit (byte, macropixel half, pixel).
struct RowOp {
  void (*mirror)(const mirror::KernelSet& kernels, std::uint8_t* start, std::int32_t units,
                 std::int32_t rowCount);
  std::int64_t unitBytes;
};
constexpr RowOp kPlanarRows = {&mirror::ReverseRowBytesWith, 1};
constexpr RowOp kPackedRows = {&mirror::ExchangeMacropixelsWith, 2};
constexpr RowOp kRgb24Rows = {&mirror::ReversePixels24With, 3};
constexpr RowOp kRgb32Rows = {&mirror::ReversePixels32With, 4};

// One block of rows a mirror works on: `rowCount` rows of `units` units from
// `offset` bytes into the frame.
struct RowBlock {
  std::int64_t offset;
  std::int32_t units;
  std::int32_t rowCount;
  RowOp op;
  std::int64_t RowBytes() const { return op.unitBytes * units; }
  void Mirror(const mirror::KernelSet& k, std::uint8_t* frame, std::int64_t firstRow,
              std::int32_t rows) const {
    op.mirror(k, frame + offset + firstRow * RowBytes(), units, rows);
  }
};

// The row blocks of a frame's mirror, in the order they lie in the frame (they
// never overlap); none when the frame is not mirrored: unknown subtypes, empty
// layouts, layouts larger than the sample, one-pixel packed rows (no whole
// macropixel to exchange). A top-down frame (negative height) has as many rows.
std::size_t MirrorBlocks(const Guid& subtype, std::int32_t width, std::int32_t signedHeight,
                         const std::uint8_t* data, std::int32_t size, RowBlock (&blocks)[3]) {
  if (signedHeight == INT32_MIN) return 0;  // no frame of 2^31 rows fits a sample
  const std::int64_t needed = MirrorLayoutSize(subtype, width, signedHeight);
  const std::int32_t height = signedHeight < 0 ? -signedHeight : signedHeight;
  const Layout layout = LayoutOf(subtype);
  if (needed < 0 || data == nullptr || needed > size || (layout == Layout::kPacked422 && width < 2)) {
    return 0;
  }
  if (layout == Layout::kPlanar) {
    const std::int64_t luma = static_cast<std::int64_t>(width) * height;
    blocks[0] = {0, width, height, kPlanarRows};
    blocks[1] = {luma, width / 2, height / 2, kPlanarRows};
    blocks[2] = {(luma * 5) / 4, width / 2, height / 2, kPlanarRows};
    return 3;
  }
  blocks[0] = {0, width, height,
               layout == Layout::kPacked422 ? kPackedRows
               : layout == Layout::kRgb24   ? kRgb24Rows
                                            : kRgb32Rows};
  return 1;
}

// Rows copied and mirrored together: a stretch this size stays in the second-level
// cache between its copy and its mirror (the copy's stores bypass the caches).
constexpr std::int64_t kFusedStretchBytes = 64 * 1024;

}  // namespace

bool MirrorFrame(const Guid& subtype, std::int32_t width, std::int32_t height, std::uint8_t* data,
                 std::int32_t size) {
  RowBlock blocks[3];
  const std::size_t n = MirrorBlocks(subtype, width, height, data, size, blocks);
  for (std::size_t i = 0; i < n; ++i) {
    blocks[i].Mirror(mirror::ActiveKernels(), data, 0, blocks[i].rowCount);
  }
  return n > 0;
}

bool CopyAndMirrorFrameWith(const mirror::KernelSet& kernels, const Guid& subtype, std::int32_t width,
                            std::int32_t height, std::uint8_t* data, std::int32_t size, std::uint8_t* copy) {
  if (data == nullptr || copy == nullptr || size <= 0) return false;
  RowBlock blocks[3];
  const std::size_t n = MirrorBlocks(subtype, width, height, data, size, blocks);
  std::int64_t copied = 0;  // everything before this offset is in the copy
  for (std::size_t i = 0; i < n; ++i) {
    const RowBlock& b = blocks[i];
    const std::int64_t rowBytes = b.RowBytes();
    if (rowBytes <= 0 || b.rowCount <= 0) continue;
    std::memcpy(copy + copied, data + copied, static_cast<std::size_t>(b.offset - copied));
    const std::int64_t stretchRows = rowBytes >= kFusedStretchBytes ? 1 : kFusedStretchBytes / rowBytes;
    for (std::int64_t row = 0; row < b.rowCount; row += stretchRows) {
      const std::int64_t rows = b.rowCount - row < stretchRows ? b.rowCount - row : stretchRows;
      const std::int64_t at = b.offset + row * rowBytes;
      kernels.copyOut(copy + at, data + at, static_cast<std::size_t>(rows * rowBytes));
      b.Mirror(kernels, data, row, static_cast<std::int32_t>(rows));
    }
    copied = b.offset + b.rowCount * rowBytes;
  }
  std::memcpy(copy + copied, data + copied, static_cast<std::size_t>(size - copied));
  return n > 0;
}

bool CopyAndMirrorFrame(const Guid& subtype, std::int32_t width, std::int32_t height, std::uint8_t* data,
                        std::int32_t size, std::uint8_t* copy) {
  return CopyAndMirrorFrameWith(mirror::ActiveKernels(), subtype, width, height, data, size, copy);
}

FrameWork::FrameWork(bool mirror) : mirror_(mirror) {}

void FrameWork::SetMediaType(const graph::MediaType& type) {
  subtype_ = type.subtype;
  width_ = 0;
  height_ = 0;
  // Only a real VIDEOINFOHEADER block is read; any other block (or none) leaves
  // the frame size unknown, and such frames are never mirrored.
  if (type.formattype == graph::kFormatVideoInfo && type.pbFormat != nullptr &&
      type.cbFormat >= sizeof(graph::VideoInfoHeader)) {
    graph::VideoInfoHeader header;
    std::memcpy(&header, type.pbFormat, sizeof header);
    width_ = header.bmiHeader.biWidth;
    height_ = header.bmiHeader.biHeight;
  }
}

void FrameWork::Transform(std::uint8_t* data, std::int32_t size) {
  lastSampleSize_.store(size, std::memory_order_relaxed);
  if (!grabRequested_.load(std::memory_order_acquire) && !mirror_) {
    return;
  }
  bool mirrored = false;  // the mirror was done with the grab copy
  if (grabRequested_.load(std::memory_order_acquire)) {
    bool served = false;
    {
      std::lock_guard<std::mutex> lock(wakeMutex_);
      // Under the lock the request cannot be withdrawn between this test and the
      // copy; a request withdrawn before it is not served.
      if (grabRequested_.load(std::memory_order_acquire) && data != nullptr && size > 0) {
        if (grabCapacity_ >= size && grabBuffer_ != nullptr) {
          // One pass over the frame: each stretch is copied as it came, then mirrored.
          if (mirror_) {
            CopyAndMirrorFrame(subtype_, width_, height_, data, size, grabBuffer_);
            mirrored = true;
          } else {
            std::memcpy(grabBuffer_, data, static_cast<std::size_t>(size));
          }
        }
        // A buffer too small is left as it is: the grab learns the size it needs.
        grabSize_ = size;
        grabRequested_.store(false, std::memory_order_release);
        served = true;
      }
    }
    if (served) {
      wake_.notify_all();
    }
  }
  if (mirror_ && !mirrored) {
    MirrorFrame(subtype_, width_, height_, data, size);
  }
}

FrameWork::GrabResult FrameWork::Grab(std::uint8_t* buffer, std::int32_t capacity,
                                      std::chrono::milliseconds bound) {
  const GrabResult none{GrabResult::kNone, 0};
  const auto deadline = std::chrono::steady_clock::now() + bound;
  if (cancelled_.load()) return none;
  std::unique_lock<std::timed_mutex> turn(grabTurn_, deadline);
  if (!turn.owns_lock() || cancelled_.load()) return none;
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    grabBuffer_ = buffer;
    grabCapacity_ = buffer != nullptr ? capacity : 0;
    grabSize_ = 0;
    grabRequested_.store(true, std::memory_order_release);
  }
  std::unique_lock<std::mutex> lock(wakeMutex_);
  while (grabRequested_.load(std::memory_order_acquire)) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || cancelled_.load()) {
      // Withdraw under the lock: a Transform cannot be half-way through serving.
      grabRequested_.store(false, std::memory_order_release);
      return none;
    }
    const auto left = deadline - now;
    wake_.wait_for(lock,
                   left < kGrabPollPeriod ? left : std::chrono::steady_clock::duration(kGrabPollPeriod));
  }
  const bool fits = grabSize_ <= grabCapacity_;
  grabBuffer_ = nullptr;
  return GrabResult{fits ? GrabResult::kCopied : GrabResult::kTooSmall, grabSize_};
}

void FrameWork::Cancel() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    cancelled_.store(true);
  }
  wake_.notify_all();
}

}  // namespace capture::frame
