// The VST3 bundle's process cost per frame as a host sees it (through
// GetPluginFactory, with an empty parameter change list and a process
// context, as hosts pass them), beside the VST 2.4 module and the ideal loop
// of the same arithmetic. Ends with a table of ratios and the targets they
// are held to.
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/common.h"
#include "host/vst3/vst3host.h"

namespace {

using namespace bench;

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

Vst2& TheVst2() {
    static Vst2 vst(VST2_MODULE_PATH);
    return vst;
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
void Vst2Bench(benchmark::State& state) {
    Vst2Process<Sample>(TheVst2(), state);
}

// The ideal loop is only a fair yardstick if it computes what the bundle does.
template <class Sample>
bool IdealMatchesTheBundle() {
    vst3host::Plugin* plugin = Vst3().plugins[sizeof(Sample) == sizeof(float) ? 0 : 1].get();
    if (!plugin) return false;
    auto& b = TheBuffers<Sample>();
    vst3::AudioBusBuffers buses[2];
    vst3::ProcessData data = Data<Sample>(buses, kMaxBlock);
    plugin->processor->process(&data);
    return MatchesIdeal(b.outs[0], b.outs[1]);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    PerBlock("vst3_float", Vst3Process<float>);
    PerBlock("vst2_float", Vst2Bench<float>);
    PerBlock("ideal_float", Ideal<float>);
    PerBlock("vst3_double", Vst3Process<double>);
    PerBlock("ideal_double", Ideal<double>);
    const bool idealMatches = IdealMatchesTheBundle<float>() && IdealMatchesTheBundle<double>();
    MedianReporter reporter;
    if (!PairedOnly()) benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintFormatTable(reporter, "vst3", "vst3_float", "vst3_double");
    vst3host::Plugin* plugin = Vst3().plugins[0].get();
    auto& b = TheBuffers<float>();
    vst3::AudioBusBuffers buses[2];
    vst3::ProcessData data = Data<float>(buses, kMaxBlock);
    const bool met = plugin && TheVst2().plugin &&
                     PrintPairedTargets(
                         "vst3",
                         [&](int frames) {
                             data.numSamples = frames;
                             plugin->processor->process(&data);
                         },
                         [&](int frames) { TheVst2().plugin->process(b.ins, b.outs, frames); });
    std::printf("ideal loop output identical to the bundle's: %s\n", idealMatches ? "yes" : "NO");
    return met && idealMatches ? 0 : 1;
}
