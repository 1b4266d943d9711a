// The CLAP module's process cost per frame as a host sees it (through
// clap_entry, with a process call built once and reused, as hosts keep
// theirs), beside the VST 2.4 module and the ideal loop of the same
// arithmetic, and what one parameter event inside a block adds. Ends with a
// table of ratios and the targets they are held to.
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/common.h"
#include "host/clap/clap_host.h"

namespace {

using namespace bench;

constexpr int kEventBlock = 512;

// One instance, activated, processing, with the settings applied.
struct ClapRig {
    vsthost::clap::Module module{CLAP_MODULE_PATH};
    vsthost::clap::Host host;
    std::unique_ptr<vsthost::clap::Instance> plugin;

    ClapRig() {
        host.logCalls = false;
        if (!module.ok()) return;
        auto instance = std::make_unique<vsthost::clap::Instance>(module, host);
        if (!instance->ok() || !instance->start(kRate, kMaxBlock)) return;
        vsthost::clap::EventList settings;
        for (int k = 0; k < 6; ++k) settings.addParamValue(0, static_cast<clap_id>(k), Plain(k));
        std::vector<std::vector<float>> in(2, std::vector<float>(1)), out = in;
        instance->process(in, out, &settings);
        plugin = std::move(instance);
    }
};

ClapRig& Clap() {
    static ClapRig rig;
    return rig;
}

Vst2& TheVst2() {
    static Vst2 vst(VST2_MODULE_PATH);
    return vst;
}

// The process call a host builds once and reuses: one stereo port each way
// over the shared buffers, and an event list.
template <class Sample>
struct Call {
    clap_audio_buffer input{}, output{};
    vsthost::clap::EventList events;
    vsthost::clap::OutputEvents sink;
    clap_process process{};

    explicit Call(int frames) {
        auto& b = TheBuffers<Sample>();
        if constexpr (sizeof(Sample) == sizeof(double)) {
            input.data64 = b.ins;
            output.data64 = b.outs;
        } else {
            input.data32 = b.ins;
            output.data32 = b.outs;
        }
        input.channel_count = output.channel_count = 2;
        process.steady_time = -1;
        process.frames_count = static_cast<std::uint32_t>(frames);
        process.audio_inputs = &input;
        process.audio_outputs = &output;
        process.audio_inputs_count = process.audio_outputs_count = 1;
        process.in_events = events.input();
        process.out_events = sink.output();
    }
};

template <class Sample>
void ClapProcess(benchmark::State& state) {
    if (!Clap().plugin) return state.SkipWithError("the CLAP module did not load");
    const int frames = static_cast<int>(state.range(0));
    const Call<Sample> call(frames);
    for (auto _ : state) {
        Clap().plugin->process(call.process);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

// One crossfader event in the middle of the block, alternating between two
// steps so that the slider section runs in every call.
void ClapEventBlock(benchmark::State& state) {
    if (!Clap().plugin) return state.SkipWithError("the CLAP module did not load");
    Call<float> calls[2] = {Call<float>(kEventBlock), Call<float>(kEventBlock)};
    calls[0].events.addParamValue(kEventBlock / 2, 2, Plain(2) + 0.01);
    calls[1].events.addParamValue(kEventBlock / 2, 2, Plain(2));
    int which = 0;
    for (auto _ : state) {
        Clap().plugin->process(calls[which].process);
        which ^= 1;
        benchmark::ClobberMemory();
    }
    PerFrame(state, kEventBlock);
}

template <class Sample>
void Vst2Bench(benchmark::State& state) {
    Vst2Process<Sample>(TheVst2(), state);
}

// The ideal loop is only a fair yardstick if it computes what the module does.
template <class Sample>
bool IdealMatchesTheModule() {
    if (!Clap().plugin) return false;
    auto& b = TheBuffers<Sample>();
    const Call<Sample> call(kMaxBlock);
    Clap().plugin->process(call.process);
    return MatchesIdeal(b.outs[0], b.outs[1]);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    PerBlock("clap_float", ClapProcess<float>);
    PerBlock("vst2_float", Vst2Bench<float>);
    PerBlock("ideal_float", Ideal<float>);
    PerBlock("clap_double", ClapProcess<double>);
    PerBlock("ideal_double", Ideal<double>);
    benchmark::RegisterBenchmark("clap_event_float", ClapEventBlock)
        ->Arg(kEventBlock)
        ->Unit(benchmark::kNanosecond)
        ->Repetitions(7)
        ->ReportAggregatesOnly(true);
    const bool idealMatches = IdealMatchesTheModule<float>() && IdealMatchesTheModule<double>();
    MedianReporter reporter;
    if (!PairedOnly()) benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintFormatTable(reporter, "clap", "clap_float", "clap_double");
    auto& b = TheBuffers<float>();
    const Call<float> small(32), large(512);
    Call<float> withEvent[2] = {Call<float>(kEventBlock), Call<float>(kEventBlock)};
    withEvent[0].events.addParamValue(kEventBlock / 2, 2, Plain(2) + 0.01);
    withEvent[1].events.addParamValue(kEventBlock / 2, 2, Plain(2));
    const Call<float> plain(kEventBlock);
    int which = 0;
    bool met = false;
    if (Clap().plugin && TheVst2().plugin) {
        auto* plugin = Clap().plugin.get();
        met = PrintPairedTargets(
            "clap", [&](int frames) { plugin->process(frames == 32 ? small.process : large.process); },
            [&](int frames) { TheVst2().plugin->process(b.ins, b.outs, frames); });
        const Paired event = ComparePaired(
            [&] {
                plugin->process(withEvent[which].process);
                which ^= 1;
            },
            [&] { plugin->process(plain.process); }, kEventBlock);
        met = PrintTarget("one parameter event inside a block of 512, extra", event.difference, 250.0, " ns") && met;
    }
    std::printf("ideal loop output identical to the module's: %s\n", idealMatches ? "yes" : "NO");
    return met && idealMatches ? 0 : 1;
}
