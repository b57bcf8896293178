// Must not compile under -Wthread-safety -Werror: the graph is handed to the
// record by a call that never checked it has the device's turn.
#include "capture/core/device.h"

bool PublishWithoutTheTurn(capture::core::Device& device, capture::core::CaptureGraph& built) {
  capture::core::DeviceTurn turn = device.LiveTurn();
  return device.Publish(turn, built);
}
