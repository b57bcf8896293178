#include "frame/frame_work.h"

#include <cstdlib>
#include <cstring>
#include <thread>

#include "mirror.h"

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
  if (width <= 0 || height <= 0) {
    return -1;
  }
  const std::int64_t w = width;
  const std::int64_t h = height;
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

bool MirrorFrame(const Guid& subtype, std::int32_t width, std::int32_t height, std::uint8_t* data,
                 std::int32_t size) {
  const std::int64_t needed = MirrorLayoutSize(subtype, width, height);
  // Unknown subtypes, top-down or empty layouts, and layouts larger than the
  // sample pass unmirrored.
  if (needed < 0 || data == nullptr || needed > size) {
    return false;
  }
  switch (LayoutOf(subtype)) {
    case Layout::kPlanar: {
      const std::int32_t luma = width * height;
      mirror::ReverseRowBytes(data, width, height);
      mirror::ReverseRowBytes(data + luma, width / 2, height / 2);
      mirror::ReverseRowBytes(data + (static_cast<std::int64_t>(luma) * 5) / 4, width / 2, height / 2);
      return true;
    }
    case Layout::kPacked422:
      // A one-pixel row holds no whole macropixel to exchange.
      if (width < 2) {
        return false;
      }
      mirror::ExchangeMacropixels(data, width, height);
      return true;
    case Layout::kRgb24:
      mirror::ReversePixels24(data, width, height);
      return true;
    case Layout::kRgb32:
      mirror::ReversePixels32(data, width, height);
      return true;
    case Layout::kNone:
      break;
  }
  return false;
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
  if (!grabRequested_.load(std::memory_order_acquire) && !mirror_) {
    return;
  }
  if (grabRequested_.load(std::memory_order_acquire)) {
    bool served = false;
    {
      std::lock_guard<std::mutex> lock(wakeMutex_);
      // Under the lock the request cannot be withdrawn between this test and the
      // copy; a request withdrawn before it is not served.
      if (grabRequested_.load(std::memory_order_acquire) && data != nullptr && size > 0) {
        if (grabCapacity_ < size) {
          // The previous block is not freed: it is Java's buffer or a block a
          // Java buffer still wraps.
          auto* block = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(size)));
          if (block != nullptr) {
            grabBuffer_ = block;
            grabCapacity_ = size;
          }
        }
        if (grabCapacity_ >= size && grabBuffer_ != nullptr) {
          std::memcpy(grabBuffer_, data, static_cast<std::size_t>(size));
          grabRequested_.store(false, std::memory_order_release);
          served = true;
        }
      }
    }
    if (served) {
      wake_.notify_all();
      // The woken grab is often queued on this thread's processor, where it would
      // wait for the mirror below to finish; give it the processor first. Only
      // frames that serve a grab pay for this.
      std::this_thread::yield();
    }
  }
  if (!mirror_) {
    return;
  }
  MirrorFrame(subtype_, width_, height_, data, size);
}

FrameWork::GrabResult FrameWork::Grab(std::uint8_t* buffer, std::int32_t capacity,
                                      std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  if (cancelled_.load()) return GrabResult{false, nullptr, 0};
  std::unique_lock<std::timed_mutex> turn(grabTurn_, deadline);
  if (!turn.owns_lock() || cancelled_.load()) {
    return GrabResult{false, nullptr, 0};
  }
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    grabBuffer_ = buffer;
    grabCapacity_ = capacity;
    grabRequested_.store(true, std::memory_order_release);
  }
  auto served = [this] { return !grabRequested_.load(std::memory_order_acquire) && grabBuffer_ != nullptr; };
  std::unique_lock<std::mutex> lock(wakeMutex_);
  while (!served()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || cancelled_.load()) {
      // Withdraw under the lock: a Transform cannot be half-way through serving.
      grabRequested_.store(false, std::memory_order_release);
      return GrabResult{false, nullptr, 0};
    }
    const auto left = deadline - now;
    wake_.wait_for(lock,
                   left < kGrabPollPeriod ? left : std::chrono::steady_clock::duration(kGrabPollPeriod));
  }
  return GrabResult{true, grabBuffer_, grabCapacity_};
}

void FrameWork::Cancel() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    cancelled_.store(true);
  }
  wake_.notify_all();
}

}  // namespace capture::frame
