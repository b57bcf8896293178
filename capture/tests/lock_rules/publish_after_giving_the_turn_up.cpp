// Must not compile under -Wthread-safety -Werror: the graph is handed to the
// record after the call gave its turn up.
#include "capture/core/device.h"

bool PublishAfterGivingTheTurnUp(capture::core::Device& device, capture::core::CaptureGraph& built) {
  capture::core::DeviceTurn turn = device.LiveTurn();
  if (!turn) return false;
  turn.AssertHeld();
  static_cast<void>(turn.unlock());
  return device.Publish(turn, built);
}
