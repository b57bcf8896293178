// One counted reference to a graph-layer object, released when the owner goes.
#pragma once

#include <utility>

#include "graph/graph_api.h"

namespace capture::graph {

template <typename T>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T* p) : p_(p) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held first.
  T** receive() {
    reset();
    return &p_;
  }
  T* release() { return std::exchange(p_, nullptr); }
  void reset() {
    if (p_ != nullptr) Release(std::exchange(p_, nullptr));
  }

 private:
  T* p_ = nullptr;
};

}  // namespace capture::graph
