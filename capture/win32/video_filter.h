// VideoFilter: the binding's own in-place filter between the camera's capture
// pin and the renderer. It accepts every input type, records the connected
// subtype and size, and runs the shared frame work (grab copy, mirror) on each
// sample on the streaming thread.
#pragma once

#include "capture/frame/frame_work.h"
#include "capture/win32/transform_base.h"

namespace capture::win32 {

class VideoFilter final : public TransInPlaceFilter {
 public:
  // Born with one reference, which belongs to the caller.
  VideoFilter(HRESULT* hr, bool mirror);
  ~VideoFilter() override;

  HRESULT CheckInputType(const AM_MEDIA_TYPE* type) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type) override;
  HRESULT Transform(IMediaSample* sample) override;

  frame::FrameWork& work() { return work_; }

  // True when `filter` is a VideoFilter made by this module.
  static VideoFilter* From(IBaseFilter* filter);

 private:
  frame::FrameWork work_;
};

}  // namespace capture::win32
