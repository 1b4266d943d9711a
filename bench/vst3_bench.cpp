// The VST3 bundle's process cost per frame as a host sees it (through
// GetPluginFactory, with an empty parameter change list and a process
// context, as hosts pass them), beside the VST 2.4 module and the ideal loop
// of the same arithmetic. Ends with a table of ratios and the targets they
// are held to.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/vst3/vst3host.h"
#include "host/vsthost.h"

namespace {

const int kBlocks[] = {32, 64, 512, 4096};
constexpr int kMaxBlock = 4096;
const float kSettings[6] = {0.62f, 0.41f, 0.37f, 0.0f, 0.0f, 0.55f};

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

// One VST3 object per sample size, started, with the settings applied.
struct Vst3Rig {
    vst3host::Module module{VST3_BUNDLE_PATH};
    std::unique_ptr<vst3host::Plugin> plugins[2];
    vst3host::ParameterChanges none;
    vst3::ProcessContext context{};

    Vst3Rig() {
        context.state = vst3::ProcessContext::kTempoValid | vst3::ProcessContext::kTimeSigValid |
                        vst3::ProcessContext::kProjectTimeMusicValid;
        context.sampleRate = 48000.0;
        context.tempo = 120.0;
        context.timeSigNumerator = context.timeSigDenominator = 4;
        if (!module.ok()) return;
        for (int size = 0; size < 2; ++size) {
            auto plugin = std::make_unique<vst3host::Plugin>(module.factory());
            if (!plugin->start(48000.0, kMaxBlock, size)) return;
            vst3host::ParameterChanges changes;
            for (vst3::ParamID k = 0; k < 6; ++k) changes.add(k, 0, kSettings[k]);
            std::vector<std::vector<double>> in(2, std::vector<double>(1)), out = in;
            std::vector<std::vector<float>> inF(2, std::vector<float>(1)), outF = inF;
            if (size == vst3::kSample64) plugin->process(in, out, &changes);
            else plugin->process(inF, outF, &changes);
            plugins[size] = std::move(plugin);
        }
    }
};

Vst3Rig& Vst3() {
    static Vst3Rig rig;
    return rig;
}

struct Vst2Rig {
    vsthost::Module module{VST2_MODULE_PATH};
    vsthost::Host host;
    std::unique_ptr<vsthost::Instance> plugin;
    Vst2Rig() {
        host.logRequests = false;
        if (!module.ok() || !module.entry()) return;
        if (AEffect* effect = host.instantiate(module.entry())) {
            plugin = std::make_unique<vsthost::Instance>(effect, host);
            plugin->start(48000.0f, kMaxBlock);
            for (int k = 0; k < 6; ++k) plugin->setParameter(k, kSettings[k]);
        }
    }
};

Vst2Rig& Vst2() {
    static Vst2Rig rig;
    return rig;
}

// The crossfader's arithmetic for kSettings with the store rule and nothing else.
inline double Stored(double v) { return (v - v == 0.0) ? v : 0.0; }

template <class Sample>
void IdealLoop(const Sample* in0, const Sample* in1, Sample* out0, Sample* out1, int frames) {
    static const double* g = [] {
        static double gains[7];
        const double minimum[6] = {-10, -10, 0, 0, 0, -10}, maximum[6] = {10, 10, 1, 1, 1, 10},
                     step[6] = {0.1, 0.1, 0.01, 1, 1, 0.1};
        double s[6];
        for (int k = 0; k < 6; ++k)
            s[k] =
                std::floor((minimum[k] + double(kSettings[k]) * (maximum[k] - minimum[k]) + step[k] * 0.5) / step[k]) *
                step[k];
        volatile double ten = 10.0;
        const double centred = (s[2] - 1.0) * 10.0 + s[2] * 10.0;
        const double boost = (std::fabs(centred / 20.0) - std::fabs(centred / 10.0) + 1.0 + 1.5) * 0.5;
        const double values[7] = {1.0 - s[3], 1.0 - s[4], std::pow(ten, s[0] / 20.0),        std::pow(ten, s[1] / 20.0),
                                  1.0 - s[2], s[2],       std::pow(ten, s[5] / 20.0) * boost};
        std::memcpy(gains, values, sizeof gains);
        return gains;
    }();
    const double on1 = g[0], on2 = g[1], gainIn1 = g[2], gainIn2 = g[3], w1 = g[4], w2 = g[5], outGain = g[6];
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

// The process data a host builds once and reuses for each call.
template <class Sample>
vst3::ProcessData Data(vst3::AudioBusBuffers (&buses)[2], int frames) {
    auto& b = TheBuffers<Sample>();
    for (auto& bus : buses) bus = {};
    buses[0].numChannels = buses[1].numChannels = 2;
    if constexpr (sizeof(Sample) == sizeof(float)) {
        buses[0].channelBuffers32 = b.ins;
        buses[1].channelBuffers32 = b.outs;
    } else {
        buses[0].channelBuffers64 = b.ins;
        buses[1].channelBuffers64 = b.outs;
    }
    vst3::ProcessData data{};
    data.symbolicSampleSize = sizeof(Sample) == sizeof(float) ? vst3::kSample32 : vst3::kSample64;
    data.numSamples = frames;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &buses[0];
    data.outputs = &buses[1];
    data.inputParameterChanges = &Vst3().none;
    data.processContext = &Vst3().context;
    return data;
}

template <class Sample>
void Vst3Process(benchmark::State& state) {
    vst3host::Plugin* plugin = Vst3().plugins[sizeof(Sample) == sizeof(float) ? 0 : 1].get();
    if (!plugin) return state.SkipWithError("the VST3 bundle did not load");
    const int frames = static_cast<int>(state.range(0));
    vst3::AudioBusBuffers buses[2];
    vst3::ProcessData data = Data<Sample>(buses, frames);
    for (auto _ : state) {
        plugin->processor->process(&data);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

template <class Sample>
void Vst2Process(benchmark::State& state) {
    if (!Vst2().plugin) return state.SkipWithError("the VST 2.4 module did not load");
    auto& b = TheBuffers<Sample>();
    const int frames = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if constexpr (sizeof(Sample) == sizeof(float)) Vst2().plugin->process(b.ins, b.outs, frames);
        else Vst2().plugin->processDouble(b.ins, b.outs, frames);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

template <class Sample>
void Ideal(benchmark::State& state) {
    auto& b = TheBuffers<Sample>();
    const int frames = static_cast<int>(state.range(0));
    for (auto _ : state) {
        IdealLoop(b.ins[0], b.ins[1], b.outs[0], b.outs[1], frames);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

// The ideal loop is only a fair yardstick if it computes what the bundle does.
template <class Sample>
bool IdealMatchesTheBundle() {
    vst3host::Plugin* plugin = Vst3().plugins[sizeof(Sample) == sizeof(float) ? 0 : 1].get();
    if (!plugin) return false;
    auto& b = TheBuffers<Sample>();
    std::vector<Sample> ideal0(kMaxBlock), ideal1(kMaxBlock);
    IdealLoop(b.ins[0], b.ins[1], ideal0.data(), ideal1.data(), kMaxBlock);
    vst3::AudioBusBuffers buses[2];
    vst3::ProcessData data = Data<Sample>(buses, kMaxBlock);
    plugin->processor->process(&data);
    return std::memcmp(ideal0.data(), b.outs[0], sizeof(Sample) * kMaxBlock) == 0 &&
           std::memcmp(ideal1.data(), b.outs[1], sizeof(Sample) * kMaxBlock) == 0;
}

class SideBySide : public benchmark::ConsoleReporter {
public:
    SideBySide() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians_[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime();
    }

    bool PrintSummary(bool idealMatches) const {
        std::printf("\n## VST3 side by side (medians; ns per frame)\n\n");
        std::printf("| block | vst3 float | vst2 float | ideal float | vst3 / ideal | target | vst3 / vst2 |"
                    " vst3 double | ideal double | vst3 / ideal |\n");
        std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        bool met = true;
        for (int block : kBlocks) {
            const double v3 = Median("vst3_float", block), v2 = Median("vst2_float", block);
            const double idf = Median("ideal_float", block);
            const double v3d = Median("vst3_double", block), idd = Median("ideal_double", block);
            const double target = block == 32 ? 2.0 : block == 512 ? 1.5 : 0.0;
            if (target > 0.0 && !(v3 / idf <= target)) met = false;
            char targetText[16] = "";
            if (target > 0.0) std::snprintf(targetText, sizeof targetText, "≤ %.1f", target);
            std::printf("| %d | %.3f | %.3f | %.3f | **%.2f** | %s | %.2f | %.3f | %.3f | %.2f |\n", block, v3, v2, idf,
                        v3 / idf, targetText, v3 / v2, v3d, idd, v3d / idd);
        }
        std::printf("\nideal loop output identical to the bundle's: %s\n", idealMatches ? "yes" : "NO");
        std::printf("targets (float, block 512 within 1.5 x ideal; block 32 within 2 x): %s\n",
                    met ? "met" : "NOT MET");
        return met && idealMatches;
    }

private:
    double Median(const char* name, int block) const {
        const auto it = medians_.find(std::string(name) + "/" + std::to_string(block));
        return it == medians_.end() ? -1.0 : it->second / block;
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
    for (auto* b : {PerBlock("vst3_float", Vst3Process<float>), PerBlock("vst2_float", Vst2Process<float>),
                    PerBlock("ideal_float", Ideal<float>), PerBlock("vst3_double", Vst3Process<double>),
                    PerBlock("ideal_double", Ideal<double>)})
        b->Unit(benchmark::kNanosecond)->Repetitions(7)->ReportAggregatesOnly(true);
    const bool idealMatches = IdealMatchesTheBundle<float>() && IdealMatchesTheBundle<double>();
    SideBySide reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.PrintSummary(idealMatches) ? 0 : 1;
}
