// The plug-in's costs as a host sees them, measured through the module's
// AEffect, side by side with a hand-written loop of the same arithmetic and
// with a third-party effect driven the same way. Ends with a table of
// ratios and the targets they are held to.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "host/vsthost.h"

namespace {

const int kBlocks[] = {32, 64, 512, 4096};
constexpr int kMaxBlock = 4096;

// One loaded module with one started instance, shared by the benchmarks.
// A host that answers at once: the time record it always has, and the few
// facts a plug-in asks for while it starts. What the host library's own
// callback spends on its request log and answer table stays out of the
// figures.
VstTimeInfo theTime = [] {
    VstTimeInfo time{};
    time.sampleRate = 48000.0;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
    return time;
}();

VstIntPtr VSTCALLBACK AnswerAtOnce(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
    case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&theTime);
    case audioMasterVersion: return kVstVersion;
    case audioMasterGetSampleRate: return 48000;
    case audioMasterGetBlockSize: return kMaxBlock;
    default: return 0;
    }
}

struct Loaded {
    vsthost::Module module;
    vsthost::Host host; // unused by the callback; the instance helpers want one
    std::unique_ptr<vsthost::Instance> plugin;

    explicit Loaded(const std::string& path) : module(path) {
        if (!module.ok() || !module.entry()) return;
        AEffect* effect = module.entry()(AnswerAtOnce);
        if (!effect) return;
        plugin = std::make_unique<vsthost::Instance>(effect, host);
        plugin->start(48000.0f, kMaxBlock);
    }
};

Loaded& Ours() {
    static Loaded loaded(PLUGIN_MODULE_PATH);
    return loaded;
}

Loaded& Peer() {
    static Loaded loaded(PEER_MODULE_PATH);
    return loaded;
}

// An earlier build of the VST 2.4 module to hold this one against in the
// same run: QUILL_BENCH_BASELINE=path/to/module.so.
const char* BaselinePath() { return std::getenv("QUILL_BENCH_BASELINE"); }

Loaded& Baseline() {
    static Loaded loaded(BaselinePath() ? BaselinePath() : "");
    return loaded;
}

// The same buffers for every benchmark.
template <class Sample>
struct Buffers {
    std::vector<Sample> in0, in1, out0, out1;
    Sample* ins[2];
    Sample* outs[2];
    Buffers() : in0(kMaxBlock), in1(kMaxBlock), out0(kMaxBlock), out1(kMaxBlock) {
        std::mt19937 random(5);
        std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
        for (int j = 0; j < kMaxBlock; ++j) {
            in0[j] = uniform(random);
            in1[j] = uniform(random);
        }
        ins[0] = in0.data();
        ins[1] = in1.data();
        outs[0] = out0.data();
        outs[1] = out1.data();
    }
};

template <class Sample>
Buffers<Sample>& TheBuffers() {
    static Buffers<Sample> buffers;
    return buffers;
}

// The settings every processing benchmark runs with, on both sides.
const float kSettings[6] = {0.62f, 0.41f, 0.37f, 0.0f, 0.0f, 0.55f};

// The crossfader's gains for those settings, as its slider section derives
// them: each setting quantised to its slider's step, levels in dB.
struct IdealGains {
    double on1, on2, gainIn1, gainIn2, w1, w2, outGain;
};

const IdealGains& Gains() {
    static const IdealGains gains = [] {
        const double minimum[6] = {-10, -10, 0, 0, 0, -10}, maximum[6] = {10, 10, 1, 1, 1, 10},
                     step[6] = {0.1, 0.1, 0.01, 1, 1, 0.1};
        double s[6];
        for (int k = 0; k < 6; ++k) {
            const double x = kSettings[k];
            s[k] = std::floor((minimum[k] + x * (maximum[k] - minimum[k]) + step[k] * 0.5) / step[k]) * step[k];
        }
        volatile double ten = 10.0; // the C library's pow, as the plug-in calls it
        const double centred = (s[2] - 1.0) * 10.0 + s[2] * 10.0;
        const double boost = (std::fabs(centred / 20.0) - std::fabs(centred / 10.0) + 1.0 + 1.5) * 0.5;
        return IdealGains{1.0 - s[3], 1.0 - s[4], std::pow(ten, s[0] / 20.0),        std::pow(ten, s[1] / 20.0),
                          1.0 - s[2], s[2],       std::pow(ten, s[5] / 20.0) * boost};
    }();
    return gains;
}

void ApplySettings(vsthost::Instance& plugin) {
    for (int k = 0; k < 6; ++k) plugin.setParameter(k, kSettings[k]);
}

inline double Stored(double v) { return (v - v == 0.0) ? v : 0.0; }

// The ideal: the crossfader's arithmetic with the store rule and nothing else.
template <class Sample>
void IdealLoop(const IdealGains& g, const Sample* in0, const Sample* in1, Sample* out0, Sample* out1, int frames) {
    const double on1 = g.on1, on2 = g.on2, gainIn1 = g.gainIn1, gainIn2 = g.gainIn2, w1 = g.w1, w2 = g.w2;
    const double outGain = g.outGain;
    for (int j = 0; j < frames; ++j) {
        const double a = Stored(on2 * in1[j]), b = Stored(on1 * in0[j]);
        const double mix1 = Stored((b * gainIn1) * w1), mix2 = Stored((a * gainIn2) * w2);
        out0[j] = static_cast<Sample>(Stored(outGain * (mix1 + mix2)));
        out1[j] = static_cast<Sample>(Stored(outGain * (mix2 + mix1)));
    }
}

void PerFrame(benchmark::State& state, int frames) {
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["ns/frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <class Sample, Loaded& (*Which)() = Ours>
void PluginProcess(benchmark::State& state) {
    Loaded& ours = Which();
    if (!ours.plugin) return state.SkipWithError("the plug-in module did not load");
    ApplySettings(*ours.plugin);
    auto& b = TheBuffers<Sample>();
    const int frames = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if constexpr (sizeof(Sample) == sizeof(double)) ours.plugin->processDouble(b.ins, b.outs, frames);
        else ours.plugin->process(b.ins, b.outs, frames);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

template <class Sample>
void Ideal(benchmark::State& state) {
    auto& b = TheBuffers<Sample>();
    const int frames = static_cast<int>(state.range(0));
    const IdealGains& g = Gains();
    for (auto _ : state) {
        IdealLoop(g, b.ins[0], b.ins[1], b.outs[0], b.outs[1], frames);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

void PeerProcess(benchmark::State& state) {
    Loaded& peer = Peer();
    if (!peer.plugin) return state.SkipWithError("the peer module did not load (dpf-plugins-vst)");
    auto& b = TheBuffers<float>();
    const int frames = static_cast<int>(state.range(0));
    for (auto _ : state) {
        peer.plugin->process(b.ins, b.outs, frames);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

void ZeroFrames(benchmark::State& state) {
    Loaded& ours = Ours();
    if (!ours.plugin) return state.SkipWithError("the plug-in module did not load");
    auto& b = TheBuffers<float>();
    for (auto _ : state) ours.plugin->process(b.ins, b.outs, 0);
}

void SetParameter(benchmark::State& state) {
    Loaded& ours = Ours();
    if (!ours.plugin) return state.SkipWithError("the plug-in module did not load");
    float value = 0.0f;
    for (auto _ : state) {
        ours.plugin->setParameter(2, value);
        value = value < 1.0f ? value + 0.01f : 0.0f;
    }
    ApplySettings(*ours.plugin);
}

void GetChunk(benchmark::State& state) {
    Loaded& ours = Ours();
    if (!ours.plugin) return state.SkipWithError("the plug-in module did not load");
    for (auto _ : state) {
        void* data = nullptr;
        benchmark::DoNotOptimize(ours.plugin->dispatch(effGetChunk, 0, 0, &data));
        benchmark::DoNotOptimize(data);
    }
}

void SetChunk(benchmark::State& state) {
    Loaded& ours = Ours();
    if (!ours.plugin) return state.SkipWithError("the plug-in module did not load");
    std::vector<std::uint8_t> chunk = ours.plugin->getChunk();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ours.plugin->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()));
}

// The ideal loop is only a fair yardstick if it computes what the plug-in does.
bool IdealMatchesThePlugin() {
    Loaded& ours = Ours();
    if (!ours.plugin) return false;
    ApplySettings(*ours.plugin);
    auto& b = TheBuffers<float>();
    std::vector<float> ideal0(kMaxBlock), ideal1(kMaxBlock);
    IdealLoop(Gains(), b.ins[0], b.ins[1], ideal0.data(), ideal1.data(), kMaxBlock);
    ours.plugin->process(b.ins, b.outs, kMaxBlock);
    return std::memcmp(ideal0.data(), b.outs[0], kMaxBlock * sizeof(float)) == 0 &&
           std::memcmp(ideal1.data(), b.outs[1], kMaxBlock * sizeof(float)) == 0;
}

// Keeps every median as it is reported, then prints the side-by-side table.
class SideBySide : public benchmark::ConsoleReporter {
public:
    SideBySide() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians_[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime();
    }

    // Nanoseconds per call, or a negative number when the benchmark did not run.
    double Median(const std::string& name) const {
        const auto it = medians_.find(name);
        return it == medians_.end() ? -1.0 : it->second;
    }

    bool PrintSummary(bool idealMatches) const {
        std::printf("\n## Side by side (medians; ns per frame)\n\n");
        std::printf("| block | plug-in float | ideal float | plug-in / ideal | target | peer float | plug-in / peer |"
                    " plug-in double | ideal double | plug-in / ideal |\n");
        std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        bool met = true;
        for (int block : kBlocks) {
            const double pf = Median(Key("plugin_float", block)) / block;
            const double idf = Median(Key("ideal_float", block)) / block;
            const double peer = Median(Key("peer_float", block)) / block;
            const double pd = Median(Key("plugin_double", block)) / block;
            const double idd = Median(Key("ideal_double", block)) / block;
            const double target = block == 32 ? 2.0 : block == 512 ? 1.5 : 0.0;
            if (target > 0.0 && !(pf / idf <= target)) met = false;
            char targetText[16] = "";
            if (target > 0.0) std::snprintf(targetText, sizeof targetText, "≤ %.1f", target);
            std::printf("| %d | %.3f | %.3f | **%.2f** | %s | %s | %s | %.3f | %.3f | %.2f |\n", block, pf, idf,
                        pf / idf, targetText, peer > 0 ? Format(peer).c_str() : "n/a",
                        peer > 0 ? Format(pf / peer, "%.2f").c_str() : "n/a", pd, idd, pd / idd);
        }
        if (Median(Key("baseline_float", kBlocks[0])) > 0) {
            std::printf("\n## Against the baseline module (medians; this build / baseline)\n\n");
            std::printf("| block | float | double |\n|---:|---:|---:|\n");
            for (int block : kBlocks)
                std::printf("| %d | %.3f | %.3f |\n", block,
                            Median(Key("plugin_float", block)) / Median(Key("baseline_float", block)),
                            Median(Key("plugin_double", block)) / Median(Key("baseline_double", block)));
        }
        std::printf("\n## Calls (medians; ns per call)\n\n| call | ns |\n|---|---:|\n");
        std::printf("| processReplacing, 0 frames (block section and its 4 host requests) | %.1f |\n",
                    Median("zero_frames/"));
        std::printf("| setParameter | %.1f |\n| effGetChunk | %.1f |\n| effSetChunk | %.1f |\n",
                    Median("set_parameter/"), Median("get_chunk/"), Median("set_chunk/"));
        std::printf("\nideal loop output identical to the plug-in's: %s\n", idealMatches ? "yes" : "NO");
        std::printf("targets (float, block 512 within 1.5 x ideal; block 32 within 2 x): %s\n",
                    met ? "met" : "NOT MET");
        return met && idealMatches;
    }

private:
    static std::string Key(const char* name, int block) {
        char key[64];
        std::snprintf(key, sizeof key, "%s/%d", name, block);
        return key;
    }
    static std::string Format(double value, const char* pattern = "%.3f") {
        char text[32];
        std::snprintf(text, sizeof text, pattern, value);
        return text;
    }
    std::map<std::string, double> medians_;
};

template <class F>
benchmark::internal::Benchmark* PerBlock(const char* name, F function) {
    auto* b = benchmark::RegisterBenchmark(name, function);
    for (int block : kBlocks) b->Arg(block);
    return b;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The side-by-side order: each block size's loops run close together.
    std::vector<benchmark::internal::Benchmark*> all = {PerBlock("plugin_float", PluginProcess<float>)};
    if (BaselinePath()) all.push_back(PerBlock("baseline_float", PluginProcess<float, Baseline>));
    all.insert(all.end(), {PerBlock("ideal_float", Ideal<float>), PerBlock("peer_float", PeerProcess),
                           PerBlock("plugin_double", PluginProcess<double>)});
    if (BaselinePath()) all.push_back(PerBlock("baseline_double", PluginProcess<double, Baseline>));
    all.insert(all.end(),
               {PerBlock("ideal_double", Ideal<double>), benchmark::RegisterBenchmark("zero_frames", ZeroFrames),
                benchmark::RegisterBenchmark("set_parameter", SetParameter),
                benchmark::RegisterBenchmark("get_chunk", GetChunk),
                benchmark::RegisterBenchmark("set_chunk", SetChunk)});
    for (auto* b : all) b->Unit(benchmark::kNanosecond)->Repetitions(7)->ReportAggregatesOnly(true);
    const bool idealMatches = IdealMatchesThePlugin();
    SideBySide reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.PrintSummary(idealMatches) ? 0 : 1;
}
