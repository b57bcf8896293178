// Grab latency: how long after a frame reaches the frame filter a waiting grab
// returns with it. A streaming thread delivers frames at a steady rate, as the
// simulated camera does, through FrameWork::Transform (the grab copy and the
// in-place mirror in one pass); the benchmark thread grabs frame after frame.
// Each frame carries its sequence number in its first bytes, so every grab is
// matched with the moment its frame's Transform began. The latency measured
// therefore runs from the start of Transform to Grab's return: it includes the
// pass itself.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "capture/frame/frame_work.h"
#include "capture/graph/graph_api.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace frame = capture::frame;
namespace graph = capture::graph;

void GrabLatency(benchmark::State& state, const graph::Guid& subtype, int width, int height,
                 int bytesPerPixelTimes2) {
  const std::int32_t size = width * height * bytesPerPixelTimes2 / 2;
  const auto period = std::chrono::milliseconds(state.range(0));
  const int grabs = static_cast<int>(state.range(1));

  frame::FrameWork work(/*mirror=*/true);
  graph::VideoInfoHeader header{};
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = height;
  graph::MediaType type{};
  type.majortype = graph::kMediaTypeVideo;
  type.subtype = subtype;
  type.formattype = graph::kFormatVideoInfo;
  type.cbFormat = sizeof header;
  type.pbFormat = reinterpret_cast<std::uint8_t*>(&header);
  work.SetMediaType(type);

  // Start times of Transform by frame number; frames are numbered from 1.
  const int maxFrames = grabs * 4 + 64;
  std::vector<std::atomic<std::int64_t>> started(static_cast<std::size_t>(maxFrames));
  // How long each Transform took (the mirror, with the grab copy if any), by frame.
  std::vector<double> transformUs(static_cast<std::size_t>(maxFrames), -1.0);
  std::atomic<bool> stop{false};
  std::thread streaming([&] {
    std::vector<std::uint8_t> sample(static_cast<std::size_t>(size), 0x5A);
    auto next = Clock::now();
    for (std::uint64_t n = 1; n < static_cast<std::uint64_t>(maxFrames) && !stop.load(); ++n) {
      std::this_thread::sleep_until(next);
      next += period;
      // The frame is mirrored in place each time; the number goes in afresh.
      std::memcpy(sample.data(), &n, sizeof n);
      const auto begin = Clock::now();
      started[n].store(begin.time_since_epoch().count(), std::memory_order_relaxed);
      work.Transform(sample.data(), size);
      transformUs[n] = std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
    }
  });

  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
  std::vector<double> latencies;
  std::vector<bool> served(static_cast<std::size_t>(maxFrames), false);
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> pause(0, static_cast<int>(period.count() * 1000));
  int missed = 0;
  for (auto _ : state) {
    latencies.clear();
    for (int i = 0; i < grabs; ++i) {
      // Grabs start at random points of the frame period.
      std::this_thread::sleep_for(std::chrono::microseconds(pause(rng)));
      const frame::FrameWork::GrabResult r = work.Grab(buffer.data(), size);
      const auto returned = Clock::now().time_since_epoch().count();
      if (r.outcome != frame::FrameWork::GrabResult::kCopied) {
        ++missed;
        continue;
      }
      std::uint64_t n = 0;
      std::memcpy(&n, buffer.data(), sizeof n);
      if (n == 0 || n >= static_cast<std::uint64_t>(maxFrames)) {
        ++missed;
        continue;
      }
      served[n] = true;
      const auto begun = started[n].load(std::memory_order_relaxed);
      latencies.push_back(
          std::chrono::duration<double, std::micro>(Clock::duration(returned - begun)).count());
    }
  }
  stop.store(true);
  streaming.join();

  std::sort(latencies.begin(), latencies.end());
  auto at = [&](double q) {
    if (latencies.empty()) return 0.0;
    const std::size_t i = std::min(latencies.size() - 1, static_cast<std::size_t>(q * latencies.size()));
    return latencies[i];
  };
  state.counters["grabs"] = static_cast<double>(latencies.size());
  state.counters["missed"] = missed;
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = latencies.empty() ? 0.0 : latencies.back();
  // Transform with and without a grab to serve: the difference is about the copy.
  std::vector<double> withGrab, withoutGrab;
  for (std::size_t n = 1; n < transformUs.size(); ++n) {
    if (transformUs[n] < 0) continue;
    (served[n] ? withGrab : withoutGrab).push_back(transformUs[n]);
  }
  auto median = [](std::vector<double>& v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  state.counters["transform_grab_median_us"] = median(withGrab);
  state.counters["transform_plain_median_us"] = median(withoutGrab);
}

}  // namespace

// YUY2 at 640x480, and every layout the filter knows at full HD (planar, packed
// 4:2:2, RGB24, RGB32). Args: frame period in milliseconds, grabs per run.
#define GRAB_LATENCY(name, subtype, width, height, bytesPerPixelTimes2, periodMs, grabs) \
  BENCHMARK_CAPTURE(GrabLatency, name, subtype, width, height, bytesPerPixelTimes2)      \
      ->Args({periodMs, grabs})                                                          \
      ->Iterations(1)                                                                    \
      ->Unit(benchmark::kMillisecond)                                                    \
      ->UseRealTime();
GRAB_LATENCY(YUY2_640x480, graph::kSubtypeYUY2, 640, 480, 4, 20, 200)
GRAB_LATENCY(I420_1920x1080, graph::kSubtypeI420, 1920, 1080, 3, 33, 150)
GRAB_LATENCY(YUY2_1920x1080, graph::kSubtypeYUY2, 1920, 1080, 4, 33, 150)
GRAB_LATENCY(RGB24_1920x1080, graph::kSubtypeRGB24, 1920, 1080, 6, 33, 150)
GRAB_LATENCY(RGB32_1920x1080, graph::kSubtypeRGB32, 1920, 1080, 8, 33, 150)

BENCHMARK_MAIN();
