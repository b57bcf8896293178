// The site numbers of the graph steps whose failure is reported to the user
// ("DirectShow Error(line:<site>)"), one per step, grouped by the call that takes it.
#pragma once

namespace capture::core::site {

// The sites of a graph's first four steps: the builder, the filter graph, the
// source added to it, the builder given the graph.
struct SourceGraphSites {
  int builder;
  int graph;
  int addSource;
  int setFiltergraph;
};

// start: the graph, the renderer
inline constexpr int kStartBuilder = 324;
inline constexpr int kStartGraph = 332;
inline constexpr int kStartAddSource = 340;
inline constexpr int kStartSetFiltergraph = 348;
inline constexpr SourceGraphSites kStartSourceGraph = {kStartBuilder, kStartGraph, kStartAddSource,
                                                       kStartSetFiltergraph};
inline constexpr int kStartRenderer = 358;
inline constexpr int kStartAddRenderer = 367;
inline constexpr int kStartRendererConfig = 376;
inline constexpr int kStartRenderingMode = 384;
inline constexpr int kStartWindowlessControl = 392;
inline constexpr int kStartClippingWindow = 400;
// start: the wanted format among the capture capabilities
inline constexpr int kStartStreamConfig = 423;
inline constexpr int kStartCapsSize = 433;
// start: the frame filter, the connections, running
inline constexpr int kStartVideoFilter = 508;
inline constexpr int kStartAddVideoFilter = 516;
inline constexpr int kStartCapturePin = 525;
inline constexpr int kStartFilterInputPin = 533;
inline constexpr int kStartConnect = 542;
inline constexpr int kStartRenderStream = 556;
inline constexpr int kStartMediaControl = 565;
inline constexpr int kStartRun = 573;

// queryFormats: the temporary graph of an idle device, the capabilities
inline constexpr int kQueryBuilder = 675;
inline constexpr int kQueryGraph = 683;
inline constexpr int kQueryAddSource = 691;
inline constexpr int kQuerySetFiltergraph = 699;
inline constexpr SourceGraphSites kQuerySourceGraph = {kQueryBuilder, kQueryGraph, kQueryAddSource,
                                                       kQuerySetFiltergraph};
inline constexpr int kQueryStreamConfig = 712;
inline constexpr int kQueryCapsSize = 725;

}  // namespace capture::core::site
