// X11 drawing of the simulated platform: its own display connection, used only
// under its own lock (window ids are shared between connections).
#pragma once

#include <cstdint>

#include "capture/graph/graph_api.h"

namespace capture::sim::x11 {

bool ClientRect(graph::NativeWindow window, graph::Rect* rect);
void FillBlack(graph::NativeWindow window);
// Draws a frame of `subtype` (width x height as its format states them) scaled
// into `destination` of the window. False when nothing was drawn.
bool DrawFrame(graph::NativeWindow window, const graph::Rect& destination, const graph::Guid& subtype,
               std::int32_t width, std::int32_t height, const std::uint8_t* data, std::int32_t size);

}  // namespace capture::sim::x11
