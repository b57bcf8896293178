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

#include "graph/graph_api.h"

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
// RGB32 by pixel order. Nothing happens (false) for any other subtype, for a
// width or height that is not positive, or when the layout of width x height
// needs more bytes than `size`.
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

// Bytes the layout of `subtype` at width x height occupies from the frame start
// (the furthest byte any mirror touches); -1 for subtypes that are not mirrored
// or dimensions that are not positive.
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
  // serves a pending grab (a copy of the unmirrored frame, into a new block when
  // the offered one is too small, made in the same pass as the mirror), waking
  // the waiting grab.
  void Transform(std::uint8_t* data, std::int32_t size);

  struct GrabResult {
    bool served;            // false: no frame came within the bound
    std::uint8_t* buffer;   // where the frame is: the offered buffer or a new block
    std::int32_t capacity;  // that block's size (the offered capacity if unchanged)
  };
  // The Java-thread side: offers `buffer` of `capacity` bytes (null / 0 for none),
  // raises the request and waits until the next frame was copied, looking at the
  // request at once and then at least every kGrabPollPeriod. After `bound` the
  // request is withdrawn and the result is not served; a withdrawn request is
  // never served later. Grabs from several threads take turns: a grab waits for
  // the one before it within its own bound, so a result is only ever the caller's
  // own buffer or a block of its own.
  GrabResult Grab(std::uint8_t* buffer, std::int32_t capacity,
                  std::chrono::milliseconds bound = kGrabWaitBound);

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
