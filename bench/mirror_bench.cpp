// In-place frame mirrors against memcpy of the same frame and against libyuv's
// out-of-place mirrors, per layout and frame size, with the frame in cache and with
// every run on a frame that has to come from main memory.
//
// Benchmark names: <layout>/<width>x<height>/<cache|memory>/<contender>, where the
// contender is mirror (the entry points, best kernel set), mirror-<set> (one kernel
// set forced), memcpy, or libyuv.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mirror.h"
#include "mirror_kernels.h"

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
        case Layout::I420: return "I420";
        case Layout::YUY2: return "YUY2";
        case Layout::RGB24: return "RGB24";
        case Layout::RGB32: return "RGB32";
    }
    return "?";
}

std::size_t FrameBytes(Layout l, Size s) {
    const std::size_t px = static_cast<std::size_t>(s.width) * s.height;
    switch (l) {
        case Layout::I420: return px * 3 / 2;
        case Layout::YUY2: return px * 2;
        case Layout::RGB24: return px * 3;
        case Layout::RGB32: return px * 4;
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
        case Layout::YUY2: mirror::ExchangeMacropixelsWith(k, frame, w, h); break;
        case Layout::RGB24: mirror::ReversePixels24With(k, frame, w, h); break;
        case Layout::RGB32: mirror::ReversePixels32With(k, frame, w, h); break;
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
        case Layout::YUY2: mirror::ExchangeMacropixels(frame, w, h); break;
        case Layout::RGB24: mirror::ReversePixels24(frame, w, h); break;
        case Layout::RGB32: mirror::ReversePixels32(frame, w, h); break;
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
        case Layout::RGB24: libyuv::RGB24Mirror(src, 3 * w, dst, 3 * w, w, h); break;
        case Layout::RGB32: libyuv::ARGBMirror(src, 4 * w, dst, 4 * w, w, h); break;
        case Layout::YUY2: break;
    }
}
#endif

// Page-aligned, touched memory.
struct Block {
    explicit Block(std::size_t bytes) : size(bytes) {
        void* p = nullptr;
        if (posix_memalign(&p, 4096, bytes) != 0) {
            std::fprintf(stderr, "cannot allocate %zu bytes\n", bytes);
            std::exit(1);
        }
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

void Register(Layout l, Size s, bool fromMemory, Contender c, const KernelSet* kernels) {
    std::string name = std::string(NameOf(l)) + "/" + std::to_string(s.width) + "x" +
                       std::to_string(s.height) + (fromMemory ? "/memory/" : "/cache/");
    switch (c) {
        case Contender::Entry: name += "mirror"; break;
        case Contender::Level: name += std::string("mirror-") + kernels->name; break;
        case Contender::Memcpy: name += "memcpy"; break;
        case Contender::Libyuv: name += "libyuv"; break;
    }
    const std::size_t bytes = FrameBytes(l, s);
    auto run = [=](benchmark::State& state) {
        std::unique_ptr<Block> local;
        Frames frames(nullptr, 0, bytes);
        if (fromMemory) {
            frames = Frames(Pool().data.get(), Pool().size, bytes);
        } else {
            // One frame, or a source and a destination for the out-of-place contenders.
            local = std::make_unique<Block>(2 * ((bytes + 4095) / 4096 * 4096));
            frames = Frames(local->data.get(), local->size, bytes);
        }
        std::size_t i = 0;
        for (auto _ : state) {
            std::uint8_t* a = frames.At(i);
            std::uint8_t* b = frames.At(i + 1);
            switch (c) {
                case Contender::Entry: MirrorFrameEntry(l, s, a); break;
                case Contender::Level: MirrorFrame(*kernels, l, s, a); break;
                case Contender::Memcpy: std::memcpy(b, a, bytes); break;
                case Contender::Libyuv:
#if defined(MIRROR_BENCH_LIBYUV)
                    LibyuvMirror(l, s, a, b);
#endif
                    break;
            }
            benchmark::ClobberMemory();
            // From memory every run takes the next pair of frames, so a copy's
            // destination is never the next run's source; in cache the same ones.
            if (fromMemory) i += 2;
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
    };
    benchmark::RegisterBenchmark(name.c_str(), run)->Unit(benchmark::kMicrosecond);
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
            for (bool fromMemory : {false, true}) {
                Register(l, s, fromMemory, Contender::Memcpy, nullptr);
                Register(l, s, fromMemory, Contender::Entry, nullptr);
#if defined(MIRROR_BENCH_LIBYUV)
                if (LibyuvHas(l)) Register(l, s, fromMemory, Contender::Libyuv, nullptr);
#endif
                for (KernelLevel level : {KernelLevel::Plain, KernelLevel::Sse2, KernelLevel::Ssse3,
                                          KernelLevel::Avx2, KernelLevel::Avx512}) {
                    if (const KernelSet* k = mirror::KernelsFor(level)) {
                        Register(l, s, fromMemory, Contender::Level, k);
                    }
                }
            }
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
