// The frame work of the VideoFilter, shared by every platform: what the filter
// does to each frame on the streaming thread (grab copy, in-place mirror) and the
// Java-thread side of a grab. The platform's filter object owns one FrameWork and
// calls SetMediaType when a pin's connection type is set and Transform once per
// sample; nothing here knows about DirectShow objects.
//
// Shared with the Windows backend: keep it stable.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "capture/graph/graph_api.h"

namespace capture::mirror {
struct KernelSet;
}

namespace capture::frame {

// How long a grab waits for the next frame before it gives up, and how often the
// waiting thread looks at the request flag without being woken.
constexpr std::chrono::milliseconds kGrabWaitBound{3000};
constexpr std::chrono::milliseconds kGrabPollPeriod{10};

// Mirrors one frame in place, left to right, by its subtype: I420, IYUV and YV12
// by rows of their three planes, YUY2 and YUYV by macropixel exchange, RGB24 and
// RGB32 by pixel order; a negative height (a top-down frame) counts as its
// magnitude. Nothing happens (false) for any other subtype, for a width or height
// of 0, a width below 0, or when the layout of width x height needs more bytes
// than `size`.
bool MirrorFrame(const graph::Guid& subtype, std::int32_t width, std::int32_t height, std::uint8_t* data,
                 std::int32_t size);

// The grab copy and the mirror in one pass over the frame: `size` bytes go to
// `copy` as they came, and the frame is mirrored in place as MirrorFrame does,
// stretch by stretch, each stretch copied (with stores that bypass the caches)
// and then mirrored while it is still in the processor's cache, so the frame is
// read from memory once. Returns what
// MirrorFrame returns (the copy is made either way). The With form runs a chosen
// kernel set.
bool CopyAndMirrorFrame(const graph::Guid& subtype, std::int32_t width, std::int32_t height,
                        std::uint8_t* data, std::int32_t size, std::uint8_t* copy);
bool CopyAndMirrorFrameWith(const mirror::KernelSet& kernels, const graph::Guid& subtype, std::int32_t width,
                            std::int32_t height, std::uint8_t* data, std::int32_t size, std::uint8_t* copy);

// Bytes the layout of `subtype` at width x |height| occupies from the frame start
// (the furthest byte any mirror touches); -1 for subtypes that are not mirrored
// or a width or height that gives no rows.
std::int64_t MirrorLayoutSize(const graph::Guid& subtype, std::int32_t width, std::int32_t height);

class FrameWork {
 public:
  explicit FrameWork(bool mirror);
  FrameWork(const FrameWork&) = delete;
  FrameWork& operator=(const FrameWork&) = delete;

  // The connection type of a pin was set: records its subtype and, when its
  // format block is a VIDEOINFOHEADER, biWidth and biHeight (otherwise 0 x 0).
  void SetMediaType(const graph::MediaType& type);

  // One sample on the streaming thread, `size` being the sample buffer's
  // allocated size. Mirrors the frame in place when the filter mirrors, and
  // serves a pending grab (a copy of the unmirrored frame, made in the same pass
  // as the mirror, or word that the offered buffer is too small), waking the
  // waiting grab. It allocates nothing: every buffer is the caller's.
  void Transform(std::uint8_t* data, std::int32_t size);

  struct GrabResult {
    enum Outcome {
      kCopied,    // the next frame, `size` bytes, is in the offered buffer
      kTooSmall,  // the next frame needs `size` bytes; nothing was written
      kNone,      // no frame came within the bound, or the graph is going
    };
    Outcome outcome;
    std::int32_t size;
  };
  // The Java-thread side: offers `buffer` of `capacity` bytes (null / 0 for none),
  // raises the request and waits for the next frame, looking at the request at
  // once and then at least every kGrabPollPeriod. After `bound` the request is
  // withdrawn; a withdrawn request is never served later. Grabs from several
  // threads take turns: a grab waits for the one before it within its own bound.
  GrabResult Grab(std::uint8_t* buffer, std::int32_t capacity,
                  std::chrono::milliseconds bound = kGrabWaitBound);

  // The size of the last sample seen (0 before the first): what a buffer for the
  // next frame most likely needs.
  std::int32_t lastSampleSize() const { return lastSampleSize_.load(std::memory_order_relaxed); }

  // The graph is going: a waiting grab, and every later one, returns at once not
  // served (unless its frame was already copied).
  void Cancel();

  bool mirror() const { return mirror_; }
  graph::Guid subtype() const { return subtype_; }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }

 private:
  // The grab request: grabBuffer_ and grabCapacity_ are published by a release
  // store of grabRequested_ and read after an acquire load of it, in both
  // directions. wakeMutex_ orders a withdrawal against a Transform serving the
  // same request, and carries the wake-up.
  std::atomic<bool> grabRequested_{false};
  std::uint8_t* grabBuffer_ = nullptr;
  std::int32_t grabCapacity_ = 0;
  std::int32_t grabSize_ = 0;  // set with the request's end: the frame's size, 0 if none
  std::atomic<std::int32_t> lastSampleSize_{0};

  const bool mirror_;
  graph::Guid subtype_{};
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;

  std::atomic<bool> cancelled_{false};
  std::mutex wakeMutex_;
  std::condition_variable wake_;
  // Held by the one grab whose request is up.
  std::timed_mutex grabTurn_;
};

}  // namespace capture::frame
