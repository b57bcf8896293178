// Counted references to graph-layer handles: zav::ComRef over the layer's own
// AddRef and Release functions, which ComRef finds through these overloads.
#pragma once

#include "common/com/com_ref.h"
#include "capture/graph/graph_api.h"

namespace capture::graph {

inline void ComAddRef(Filter* p) { AddRef(p); }
inline void ComAddRef(WindowlessControl* p) { AddRef(p); }
#define CAPTURE_GRAPH_COM_RELEASE(Handle, Interface) \
  inline void ComRelease(Handle* p) { Release(p); }
CAPTURE_GRAPH_HANDLES(CAPTURE_GRAPH_COM_RELEASE)
#undef CAPTURE_GRAPH_COM_RELEASE

template <typename T>
using Ref = zav::ComRef<T>;

}  // namespace capture::graph
