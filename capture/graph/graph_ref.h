// Counted references to graph-layer handles: zav::ComRef over the layer's own
// AddRef and Release functions, which ComRef finds through these overloads.
#pragma once

#include "com_ref.h"
#include "graph/graph_api.h"

namespace capture::graph {

inline void ComAddRef(Filter* p) { AddRef(p); }
inline void ComAddRef(WindowlessControl* p) { AddRef(p); }
inline void ComRelease(Filter* p) { Release(p); }
inline void ComRelease(Builder* p) { Release(p); }
inline void ComRelease(Graph* p) { Release(p); }
inline void ComRelease(MediaControl* p) { Release(p); }
inline void ComRelease(RendererConfig* p) { Release(p); }
inline void ComRelease(WindowlessControl* p) { Release(p); }
inline void ComRelease(StreamConfig* p) { Release(p); }
inline void ComRelease(Pin* p) { Release(p); }
inline void ComRelease(DeviceEnum* p) { Release(p); }
inline void ComRelease(MonikerEnum* p) { Release(p); }
inline void ComRelease(Moniker* p) { Release(p); }
inline void ComRelease(PropertyBag* p) { Release(p); }

template <typename T>
using Ref = zav::ComRef<T>;

}  // namespace capture::graph
