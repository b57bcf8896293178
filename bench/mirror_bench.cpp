// In-place frame mirrors against memcpy of the same frame and against libyuv's
// out-of-place mirrors, per layout and frame size, with the frame in cache and with
// every run on a frame that has to come from main memory.
//
// Benchmark names: <layout>/<width>x<height>/<cache|memory>/<contender>, where the
// contender is mirror (the entry points, best kernel set), mirror-<set> (one kernel
// set forced), memcpy, or libyuv.
//
// In cache every contender is a benchmark of its own. From memory the rate of every
// contender drifts with the rest of the machine's use of memory, by more than the
// differences measured, so a from-memory benchmark runs its mirror and the yardsticks
// (memcpy, and libyuv for the entry points) in turn, a lap of frames each, and
// reports how long each took per frame (counters mirror_ns, memcpy_ns, libyuv_ns;
// thread CPU time) and their ratios (x_memcpy, x_libyuv).
#include <benchmark/benchmark.h>

#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture/mirror/mirror.h"
#include "capture/mirror/mirror_kernels.h"

#if defined(MIRROR_BENCH_LIBYUV)
#include <libyuv/planar_functions.h>
#endif

namespace {

using capture::mirror::KernelLevel;
using capture::mirror::KernelSet;
namespace mirror = capture::mirror;

enum class Layout { I420, YUY2, RGB24, RGB32 };

struct Size {
  int width;
  int height;
};

const char* NameOf(Layout l) {
  switch (l) {
    case Layout::I420:
      return "I420";
    case Layout::YUY2:
      return "YUY2";
    case Layout::RGB24:
      return "RGB24";
    case Layout::RGB32:
      return "RGB32";
  }
  return "?";
}

std::size_t FrameBytes(Layout l, Size s) {
  const std::size_t px = static_cast<std::size_t>(s.width) * s.height;
  switch (l) {
    case Layout::I420:
      return px * 3 / 2;
    case Layout::YUY2:
      return px * 2;
    case Layout::RGB24:
      return px * 3;
    case Layout::RGB32:
      return px * 4;
  }
  return 0;
}

// The frame filter's in-place mirror of one frame, with the given kernels.
void MirrorFrame(const KernelSet& k, Layout l, Size s, std::uint8_t* frame) {
  const int w = s.width, h = s.height;
  switch (l) {
    case Layout::I420:
      mirror::ReverseRowBytesWith(k, frame, w, h);
      mirror::ReverseRowBytesWith(k, frame + w * h, w / 2, h / 2);
      mirror::ReverseRowBytesWith(k, frame + (w * h * 5) / 4, w / 2, h / 2);
      break;
    case Layout::YUY2:
      mirror::ExchangeMacropixelsWith(k, frame, w, h);
      break;
    case Layout::RGB24:
      mirror::ReversePixels24With(k, frame, w, h);
      break;
    case Layout::RGB32:
      mirror::ReversePixels32With(k, frame, w, h);
      break;
  }
}

// The same through the public entry points.
void MirrorFrameEntry(Layout l, Size s, std::uint8_t* frame) {
  const int w = s.width, h = s.height;
  switch (l) {
    case Layout::I420:
      mirror::ReverseRowBytes(frame, w, h);
      mirror::ReverseRowBytes(frame + w * h, w / 2, h / 2);
      mirror::ReverseRowBytes(frame + (w * h * 5) / 4, w / 2, h / 2);
      break;
    case Layout::YUY2:
      mirror::ExchangeMacropixels(frame, w, h);
      break;
    case Layout::RGB24:
      mirror::ReversePixels24(frame, w, h);
      break;
    case Layout::RGB32:
      mirror::ReversePixels32(frame, w, h);
      break;
  }
}

#if defined(MIRROR_BENCH_LIBYUV)
bool LibyuvHas(Layout l) { return l != Layout::YUY2; }

void LibyuvMirror(Layout l, Size s, const std::uint8_t* src, std::uint8_t* dst) {
  const int w = s.width, h = s.height;
  switch (l) {
    case Layout::I420: {
      const int ys = w * h, cs = ys / 4;
      libyuv::I420Mirror(src, w, src + ys, w / 2, src + ys + cs, w / 2,  //
                         dst, w, dst + ys, w / 2, dst + ys + cs, w / 2, w, h);
      break;
    }
    case Layout::RGB24:
      libyuv::RGB24Mirror(src, 3 * w, dst, 3 * w, w, h);
      break;
    case Layout::RGB32:
      libyuv::ARGBMirror(src, 4 * w, dst, 4 * w, w, h);
      break;
    case Layout::YUY2:
      break;
  }
}
#endif

// Touched memory in whole 2 MiB pages, backed by huge pages where the system grants
// them. On 4 KiB pages, where a frame's pages land decides its cache conflicts and
// differs from one allocation to the next, and so would every contender's speed.
struct Block {
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  explicit Block(std::size_t bytes) : size(bytes) {
    const std::size_t whole = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = nullptr;
    if (posix_memalign(&p, kHugePage, whole) != 0) {
      std::fprintf(stderr, "cannot allocate %zu bytes\n", whole);
      std::exit(1);
    }
    madvise(p, whole, MADV_HUGEPAGE);  // a hint: 4 KiB pages if refused
    data.reset(static_cast<std::uint8_t*>(p));
    for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<std::uint8_t>(i * 131 + (i >> 12));
  }
  struct Free {
    void operator()(std::uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<std::uint8_t[], Free> data;
  std::size_t size;
};

// The pool the from-memory runs walk through: larger than the last-level cache.
std::size_t PoolBytes() {
  if (const char* mb = std::getenv("MIRROR_BENCH_POOL_MB")) {
    return static_cast<std::size_t>(std::atol(mb)) << 20;
  }
  long llc = sysconf(_SC_LEVEL3_CACHE_SIZE);
  std::size_t bytes = std::size_t{1} << 30;
  if (llc > 0 && static_cast<std::size_t>(llc) * 2 > bytes) bytes = static_cast<std::size_t>(llc) * 2;
  return bytes;
}

Block& Pool() {
  static Block pool(PoolBytes());
  return pool;
}

// Frames in the pool: whole pages apart, as many as fit.
struct Frames {
  Frames(std::uint8_t* base, std::size_t poolBytes, std::size_t frameBytes)
      : base(base), stride((frameBytes + 4095) / 4096 * 4096), count(poolBytes / stride) {}
  std::uint8_t* At(std::size_t i) const { return base + (i % count) * stride; }
  std::uint8_t* base;
  std::size_t stride;
  std::size_t count;
};

enum class Contender { Entry, Level, Memcpy, Libyuv };

std::string NameFor(Layout l, Size s, bool fromMemory, Contender c, const KernelSet* kernels) {
  std::string name = std::string(NameOf(l)) + "/" + std::to_string(s.width) + "x" + std::to_string(s.height) +
                     (fromMemory ? "/memory/" : "/cache/");
  switch (c) {
    case Contender::Entry:
      name += "mirror";
      break;
    case Contender::Level:
      name += std::string("mirror-") + kernels->name;
      break;
    case Contender::Memcpy:
      name += "memcpy";
      break;
    case Contender::Libyuv:
      name += "libyuv";
      break;
  }
  return name;
}

// One contender's work on a frame (a), with a second frame (b) as the destination
// of the out-of-place ones.
void RunContender(Contender c, const KernelSet* kernels, Layout l, Size s, std::size_t bytes, std::uint8_t* a,
                  std::uint8_t* b) {
  switch (c) {
    case Contender::Entry:
      MirrorFrameEntry(l, s, a);
      break;
    case Contender::Level:
      MirrorFrame(*kernels, l, s, a);
      break;
    case Contender::Memcpy:
      std::memcpy(b, a, bytes);
      break;
    case Contender::Libyuv:
#if defined(MIRROR_BENCH_LIBYUV)
      LibyuvMirror(l, s, a, b);
#endif
      break;
  }
  benchmark::ClobberMemory();
}

// In cache: the contender alone, on the same frame (and destination) every run.
void RegisterInCache(Layout l, Size s, Contender c, const KernelSet* kernels) {
  const std::size_t bytes = FrameBytes(l, s);
  auto run = [=](benchmark::State& state) {
    Block local(2 * ((bytes + 4095) / 4096 * 4096));
    const Frames frames(local.data.get(), local.size, bytes);
    for (auto _ : state) {
      RunContender(c, kernels, l, s, bytes, frames.At(0), frames.At(1));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
  };
  benchmark::RegisterBenchmark(NameFor(l, s, false, c, kernels).c_str(), run)->Unit(benchmark::kMicrosecond);
}

std::int64_t ThreadCpuNanoseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Frames each contender takes in turn from memory: enough that its lap through the
// pool is much larger than the last-level cache, so what a contender evicts while
// it runs is almost all its own written lines, as when it runs alone (memcpy and
// libyuv dirty one frame for every two they bring in, the mirror one for one).
std::size_t LapFrames(std::size_t frameStride) {
  std::size_t lapBytes = std::size_t{512} << 20;
  if (const char* mb = std::getenv("MIRROR_BENCH_LAP_MB")) {
    lapBytes = static_cast<std::size_t>(std::atol(mb)) << 20;
  }
  const std::size_t frames = lapBytes / frameStride;
  return frames > 4 ? frames : 4;
}

// From memory: the mirror (entry points or one kernel set) and the yardsticks take
// turns, a lap of frames each, every frame the next of the pool; out-of-place
// contenders copy between a fresh pair, so a destination is never a source.
void RegisterFromMemory(Layout l, Size s, Contender mirrorKind, const KernelSet* kernels) {
  const std::size_t bytes = FrameBytes(l, s);
  std::vector<Contender> turns = {mirrorKind, Contender::Memcpy};
#if defined(MIRROR_BENCH_LIBYUV)
  if (mirrorKind == Contender::Entry && LibyuvHas(l)) turns.push_back(Contender::Libyuv);
#endif
  auto run = [=](benchmark::State& state) {
    const Frames frames(Pool().data.get(), Pool().size, bytes);
    const std::size_t lap = LapFrames(frames.stride);
    std::vector<std::int64_t> ns(turns.size(), 0);
    std::size_t next = 0;
    for (auto _ : state) {
      for (std::size_t t = 0; t < turns.size(); ++t) {
        const bool inPlace = turns[t] == Contender::Entry || turns[t] == Contender::Level;
        const std::int64_t start = ThreadCpuNanoseconds();
        for (std::size_t f = 0; f < lap; ++f) {
          RunContender(turns[t], kernels, l, s, bytes, frames.At(next), frames.At(next + 1));
          next += inPlace ? 1 : 2;
        }
        ns[t] += ThreadCpuNanoseconds() - start;
      }
    }
    const double perFrame = 1.0 / (static_cast<double>(state.iterations()) * static_cast<double>(lap));
    state.counters["mirror_ns"] = static_cast<double>(ns[0]) * perFrame;
    for (std::size_t t = 1; t < turns.size(); ++t) {
      const bool copy = turns[t] == Contender::Memcpy;
      state.counters[copy ? "memcpy_ns" : "libyuv_ns"] = static_cast<double>(ns[t]) * perFrame;
      state.counters[copy ? "x_memcpy" : "x_libyuv"] =
          static_cast<double>(ns[t]) / static_cast<double>(ns[0]);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lap) *
                            static_cast<std::int64_t>(bytes));
  };
  benchmark::RegisterBenchmark(NameFor(l, s, true, mirrorKind, kernels).c_str(), run)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("mirror_kernels", mirror::ActiveKernels().name);
  benchmark::AddCustomContext("pool_bytes", std::to_string(PoolBytes()));
  benchmark::AddCustomContext("llc_bytes", std::to_string(sysconf(_SC_LEVEL3_CACHE_SIZE)));
#if defined(MIRROR_BENCH_LIBYUV)
  benchmark::AddCustomContext("libyuv", "yes");
#else
  benchmark::AddCustomContext("libyuv", "no");
#endif
  const Size sizes[] = {{640, 480}, {1280, 720}, {1920, 1080}};
  for (Layout l : {Layout::I420, Layout::YUY2, Layout::RGB24, Layout::RGB32}) {
    for (Size s : sizes) {
      RegisterInCache(l, s, Contender::Memcpy, nullptr);
      RegisterInCache(l, s, Contender::Entry, nullptr);
#if defined(MIRROR_BENCH_LIBYUV)
      if (LibyuvHas(l)) RegisterInCache(l, s, Contender::Libyuv, nullptr);
#endif
      RegisterFromMemory(l, s, Contender::Entry, nullptr);
      for (KernelLevel level : {KernelLevel::Plain, KernelLevel::Sse2, KernelLevel::Ssse3, KernelLevel::Avx2,
                                KernelLevel::Avx512}) {
        if (const KernelSet* k = mirror::KernelsFor(level)) {
          RegisterInCache(l, s, Contender::Level, k);
          RegisterFromMemory(l, s, Contender::Level, k);
        }
      }
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
