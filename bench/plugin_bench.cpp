// The VST 2.4 module's costs as a host sees them, measured through its
// AEffect, side by side with a hand-written loop of the same arithmetic and
// with a third-party effect driven the same way. Ends with a table of
// ratios and the targets they are held to.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/common.h"

using namespace bench;

namespace {

Vst2& Ours() {
    static Vst2 loaded(PLUGIN_MODULE_PATH);
    return loaded;
}

Vst2& Peer() {
    static Vst2 loaded(PEER_MODULE_PATH);
    return loaded;
}

// An earlier build of the VST 2.4 module to hold this one against in the
// same run: QUILL_BENCH_BASELINE=path/to/module.so.
const char* BaselinePath() { return std::getenv("QUILL_BENCH_BASELINE"); }

Vst2& Baseline() {
    static Vst2 loaded(BaselinePath() ? BaselinePath() : "");
    return loaded;
}

template <class Sample, Vst2& (*Which)() = Ours>
void PluginProcess(benchmark::State& state) {
    if (Which().plugin) Which().Apply();
    Vst2Process<Sample>(Which(), state);
}

void PeerProcess(benchmark::State& state) {
    if (!Peer().plugin) return state.SkipWithError("the peer module did not load (dpf-plugins-vst)");
    Vst2Process<float>(Peer(), state);
}

void ZeroFrames(benchmark::State& state) {
    Vst2& ours = Ours();
    if (!ours.plugin) return state.SkipWithError("the plug-in module did not load");
    auto& b = TheBuffers<float>();
    for (auto _ : state) ours.plugin->process(b.ins, b.outs, 0);
}

void SetParameter(benchmark::State& state) {
    Vst2& ours = Ours();
    if (!ours.plugin) return state.SkipWithError("the plug-in module did not load");
    float value = 0.0f;
    for (auto _ : state) {
        ours.plugin->setParameter(2, value);
        value = value < 1.0f ? value + 0.01f : 0.0f;
    }
    ours.Apply();
}

void GetChunk(benchmark::State& state) {
    Vst2& ours = Ours();
    if (!ours.plugin) return state.SkipWithError("the plug-in module did not load");
    for (auto _ : state) {
        void* data = nullptr;
        benchmark::DoNotOptimize(ours.plugin->dispatch(effGetChunk, 0, 0, &data));
        benchmark::DoNotOptimize(data);
    }
}

void SetChunk(benchmark::State& state) {
    Vst2& ours = Ours();
    if (!ours.plugin) return state.SkipWithError("the plug-in module did not load");
    std::vector<std::uint8_t> chunk = ours.plugin->getChunk();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ours.plugin->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()));
}

// The ideal loop is only a fair yardstick if it computes what the plug-in does.
bool IdealMatchesThePlugin() {
    Vst2& ours = Ours();
    if (!ours.plugin) return false;
    ours.Apply();
    auto& b = TheBuffers<float>();
    ours.plugin->process(b.ins, b.outs, kMaxBlock);
    return MatchesIdeal(b.outs[0], b.outs[1]);
}

void PrintTables(const MedianReporter& r) {
    std::printf("\n## Side by side (medians; ns per frame)\n\n");
    std::printf("| block | plug-in float | ideal float | plug-in / ideal | target | peer float | plug-in / peer |"
                " plug-in double | ideal double | plug-in / ideal |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int block : kBlocks) {
        const double pf = r.PerFrameMedian("vst2_float", block), idf = r.PerFrameMedian("ideal_float", block);
        const double peer = r.PerFrameMedian("peer_float", block);
        const double pd = r.PerFrameMedian("vst2_double", block), idd = r.PerFrameMedian("ideal_double", block);
        const double target = block == 32 ? 2.0 : block == 512 ? 1.5 : 0.0;
        char targetText[16] = "", peerText[16] = "n/a", ratioText[16] = "n/a";
        if (target > 0.0) std::snprintf(targetText, sizeof targetText, "≤ %.1f", target);
        if (peer > 0) {
            std::snprintf(peerText, sizeof peerText, "%.3f", peer);
            std::snprintf(ratioText, sizeof ratioText, "%.2f", pf / peer);
        }
        std::printf("| %d | %.3f | %.3f | **%.2f** | %s | %s | %s | %.3f | %.3f | %.2f |\n", block, pf, idf, pf / idf,
                    targetText, peerText, ratioText, pd, idd, pd / idd);
    }
    if (r.Median("baseline_float/32") > 0) {
        std::printf("\n## Against the baseline module (medians; this build / baseline)\n\n");
        std::printf("| block | float | double |\n|---:|---:|---:|\n");
        for (int block : kBlocks)
            std::printf("| %d | %.3f | %.3f |\n", block,
                        r.PerFrameMedian("vst2_float", block) / r.PerFrameMedian("baseline_float", block),
                        r.PerFrameMedian("vst2_double", block) / r.PerFrameMedian("baseline_double", block));
    }
    std::printf("\n## Calls (medians; ns per call)\n\n| call | ns |\n|---|---:|\n");
    std::printf("| processReplacing, 0 frames (block section and its 4 host requests) | %.1f |\n",
                r.Median("zero_frames/"));
    std::printf("| setParameter | %.1f |\n| effGetChunk | %.1f |\n| effSetChunk | %.1f |\n", r.Median("set_parameter/"),
                r.Median("get_chunk/"), r.Median("set_chunk/"));
}

bool PrintSummary(const MedianReporter& r, bool idealMatches) {
    if (!PairedOnly()) PrintTables(r);
    std::printf("\nideal loop output identical to the plug-in's: %s\n", idealMatches ? "yes" : "NO");
    std::printf("\n## Targets (paired bursts, float)\n\n| comparison | median | target | |\n|---|---:|---:|---|\n");
    bool met = false;
    if (Ours().plugin) {
        auto& b = TheBuffers<float>();
        const auto call = [&b](int frames) { Ours().plugin->process(b.ins, b.outs, frames); };
        met = PrintTarget("vst2 / ideal at block 32", PairedWithIdeal(call, 32).ratio, 2.0, " x");
        met = PrintTarget("vst2 / ideal at block 512", PairedWithIdeal(call, 512).ratio, 1.5, " x") && met;
    }
    return met && idealMatches;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The side-by-side order: each block size's loops run close together.
    PerBlock("vst2_float", PluginProcess<float>);
    if (BaselinePath()) PerBlock("baseline_float", PluginProcess<float, Baseline>);
    PerBlock("ideal_float", Ideal<float>);
    PerBlock("peer_float", PeerProcess);
    PerBlock("vst2_double", PluginProcess<double>);
    if (BaselinePath()) PerBlock("baseline_double", PluginProcess<double, Baseline>);
    PerBlock("ideal_double", Ideal<double>);
    for (auto* b :
         {benchmark::RegisterBenchmark("zero_frames", ZeroFrames),
          benchmark::RegisterBenchmark("set_parameter", SetParameter),
          benchmark::RegisterBenchmark("get_chunk", GetChunk), benchmark::RegisterBenchmark("set_chunk", SetChunk)})
        b->Unit(benchmark::kNanosecond)->Repetitions(7)->ReportAggregatesOnly(true);
    const bool idealMatches = IdealMatchesThePlugin();
    MedianReporter reporter;
    if (!PairedOnly()) benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return PrintSummary(reporter, idealMatches) ? 0 : 1;
}
