// The LV2 run's cost per frame as a host pays it, side by side with the VST
// 2.4 module's float path and a hand-written loop of the same arithmetic, in
// one run. Ends with a table of ratios and the targets they are held to.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include "host/module.h"
#include "host/vsthost.h"

namespace {

const int kBlocks[] = {32, 64, 512, 4096};
constexpr int kMaxBlock = 4096;
constexpr double kRate = 48000.0;

// The same values on both sides: LV2 ports take them plain, the VST 2.4
// module normalised by the newer formats' rule.
const double kMinimum[6] = {-10, -10, 0, 0, 0, -10}, kMaximum[6] = {10, 10, 1, 1, 1, 10},
             kStep[6] = {0.1, 0.1, 0.01, 1, 1, 0.1};
const float kPlain[6] = {2.4f, -1.8f, 0.37f, 0.0f, 0.0f, 1.0f};

float Normalised(int k) { return static_cast<float>((kPlain[k] - kMinimum[k]) / (kMaximum[k] - kMinimum[k])); }

struct Buffers {
    std::vector<float> in0 = std::vector<float>(kMaxBlock), in1 = in0, out0 = in0, out1 = in0;
    float* ins[2] = {in0.data(), in1.data()};
    float* outs[2] = {out0.data(), out1.data()};
    Buffers() {
        std::mt19937 random(5);
        std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
        for (int j = 0; j < kMaxBlock; ++j) {
            in0[j] = uniform(random);
            in1[j] = uniform(random);
        }
    }
};

Buffers& TheBuffers() {
    static Buffers buffers;
    return buffers;
}

// The LV2 module as a host drives it: its descriptor, a URID map, ports on
// the shared buffers and controls, no time position.
struct Lv2 {
    std::vector<std::string> uris;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle handle, const char* uri) -> LV2_URID {
                         auto& uris = static_cast<Lv2*>(handle)->uris;
                         for (std::size_t i = 0; i < uris.size(); ++i)
                             if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
                         uris.emplace_back(uri);
                         return static_cast<LV2_URID>(uris.size());
                     }};
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    float controls[6];

    Lv2() {
        std::string error;
        void* module = vsthost::module::Open(LV2_MODULE_PATH, error);
        using Entry = const LV2_Descriptor* (*)(std::uint32_t);
        const auto entry =
            module ? reinterpret_cast<Entry>(vsthost::module::Symbol(module, "lv2_descriptor")) : nullptr;
        descriptor = entry ? entry(0) : nullptr;
        if (!descriptor) return;
        const LV2_Feature mapFeature{LV2_URID__map, &map};
        const LV2_Feature* features[] = {&mapFeature, nullptr};
        handle = descriptor->instantiate(descriptor, kRate, "", features);
        if (!handle) return;
        Buffers& b = TheBuffers();
        descriptor->connect_port(handle, 0, b.in0.data());
        descriptor->connect_port(handle, 1, b.in1.data());
        descriptor->connect_port(handle, 2, b.out0.data());
        descriptor->connect_port(handle, 3, b.out1.data());
        for (std::uint32_t k = 0; k < 6; ++k) {
            controls[k] = kPlain[k];
            descriptor->connect_port(handle, 4 + k, &controls[k]);
        }
        descriptor->activate(handle);
    }
};

Lv2& TheLv2() {
    static Lv2 lv2;
    return lv2;
}

// The VST 2.4 module with a host that answers at once, its time record included.
VstTimeInfo theTime = [] {
    VstTimeInfo time{};
    time.sampleRate = kRate;
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
    case audioMasterGetSampleRate: return static_cast<VstIntPtr>(kRate);
    case audioMasterGetBlockSize: return kMaxBlock;
    default: return 0;
    }
}

struct Vst {
    vsthost::Module module{VST_MODULE_PATH};
    vsthost::Host host;
    std::unique_ptr<vsthost::Instance> plugin;
    Vst() {
        AEffect* effect = module.ok() && module.entry() ? module.entry()(AnswerAtOnce) : nullptr;
        if (!effect) return;
        plugin = std::make_unique<vsthost::Instance>(effect, host);
        plugin->start(static_cast<float>(kRate), kMaxBlock);
        for (int k = 0; k < 6; ++k) plugin->setParameter(k, Normalised(k));
    }
};

Vst& TheVst() {
    static Vst vst;
    return vst;
}

// The ideal: the crossfader's arithmetic with the store rule and nothing else.
struct Gains {
    double on1, on2, gainIn1, gainIn2, w1, w2, outGain;
};

const Gains& TheGains() {
    static const Gains gains = [] {
        double s[6];
        for (int k = 0; k < 6; ++k) {
            const double x = Normalised(k);
            s[k] = std::floor((kMinimum[k] + x * (kMaximum[k] - kMinimum[k]) + kStep[k] * 0.5) / kStep[k]) * kStep[k];
        }
        volatile double ten = 10.0; // the C library's pow, as the plug-in calls it
        const double centred = (s[2] - 1.0) * 10.0 + s[2] * 10.0;
        const double boost = (std::fabs(centred / 20.0) - std::fabs(centred / 10.0) + 1.0 + 1.5) * 0.5;
        return Gains{1.0 - s[3], 1.0 - s[4], std::pow(ten, s[0] / 20.0),        std::pow(ten, s[1] / 20.0),
                     1.0 - s[2], s[2],       std::pow(ten, s[5] / 20.0) * boost};
    }();
    return gains;
}

inline double Stored(double v) { return (v - v == 0.0) ? v : 0.0; }

void IdealLoop(const float* in0, const float* in1, float* out0, float* out1, int frames) {
    const Gains& g = TheGains();
    const double on1 = g.on1, on2 = g.on2, gainIn1 = g.gainIn1, gainIn2 = g.gainIn2, w1 = g.w1, w2 = g.w2;
    const double outGain = g.outGain;
    for (int j = 0; j < frames; ++j) {
        const double a = Stored(on2 * in1[j]), b = Stored(on1 * in0[j]);
        const double mix1 = Stored((b * gainIn1) * w1), mix2 = Stored((a * gainIn2) * w2);
        out0[j] = static_cast<float>(Stored(outGain * (mix1 + mix2)));
        out1[j] = static_cast<float>(Stored(outGain * (mix2 + mix1)));
    }
}

void PerFrame(benchmark::State& state, int frames) {
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["ns/frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Lv2Run(benchmark::State& state) {
    Lv2& lv2 = TheLv2();
    if (!lv2.handle) return state.SkipWithError("the LV2 module did not load");
    const auto frames = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        lv2.descriptor->run(lv2.handle, frames);
        benchmark::ClobberMemory();
    }
    PerFrame(state, static_cast<int>(frames));
}

void VstProcess(benchmark::State& state) {
    Vst& vst = TheVst();
    if (!vst.plugin) return state.SkipWithError("the VST 2.4 module did not load");
    Buffers& b = TheBuffers();
    const int frames = static_cast<int>(state.range(0));
    for (auto _ : state) {
        vst.plugin->process(b.ins, b.outs, frames);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

void Ideal(benchmark::State& state) {
    Buffers& b = TheBuffers();
    const int frames = static_cast<int>(state.range(0));
    for (auto _ : state) {
        IdealLoop(b.ins[0], b.ins[1], b.outs[0], b.outs[1], frames);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

// The comparison is fair only if all three compute the same bits.
bool AllAgree() {
    Lv2& lv2 = TheLv2();
    Vst& vst = TheVst();
    if (!lv2.handle || !vst.plugin) return false;
    Buffers& b = TheBuffers();
    std::vector<float> ideal0(kMaxBlock), ideal1(kMaxBlock), vst0(kMaxBlock), vst1(kMaxBlock);
    IdealLoop(b.ins[0], b.ins[1], ideal0.data(), ideal1.data(), kMaxBlock);
    float* vstOuts[2] = {vst0.data(), vst1.data()};
    vst.plugin->process(b.ins, vstOuts, kMaxBlock);
    lv2.descriptor->run(lv2.handle, kMaxBlock);
    const std::size_t bytes = kMaxBlock * sizeof(float);
    return std::memcmp(ideal0.data(), b.outs[0], bytes) == 0 && std::memcmp(ideal1.data(), b.outs[1], bytes) == 0 &&
           std::memcmp(vst0.data(), b.outs[0], bytes) == 0 && std::memcmp(vst1.data(), b.outs[1], bytes) == 0;
}

class SideBySide : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians_[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime();
    }

    bool PrintSummary(bool agree) const {
        std::printf("\n## LV2 side by side (medians; ns per frame)\n\n");
        std::printf("| block | lv2 run | vst2 float | ideal | lv2 / ideal | lv2 / vst2 | target |\n");
        std::printf("|---:|---:|---:|---:|---:|---:|---|\n");
        bool met = true;
        for (int block : kBlocks) {
            const double lv2 = Median("lv2_run", block) / block, vst = Median("vst2_float", block) / block,
                         ideal = Median("ideal_float", block) / block;
            const char* target = "";
            if (block == 512) {
                target = "lv2 / ideal ≤ 1.1";
                met = met && lv2 / ideal <= 1.1;
            } else if (block == 32) {
                target = "lv2 / vst2 ≤ 1";
                met = met && lv2 / vst <= 1.0;
            }
            std::printf("| %d | %.3f | %.3f | %.3f | **%.2f** | **%.2f** | %s |\n", block, lv2, vst, ideal, lv2 / ideal,
                        lv2 / vst, target);
        }
        std::printf("\nLV2, VST 2.4 and ideal outputs identical: %s\n", agree ? "yes" : "NO");
        std::printf("targets (block 512 within 1.1 x ideal; block 32 no dearer than VST 2.4): %s\n",
                    met ? "met" : "NOT MET");
        return met && agree;
    }

private:
    double Median(const char* name, int block) const {
        const auto it = medians_.find(std::string(name) + "/" + std::to_string(block));
        return it == medians_.end() ? NAN : it->second;
    }
    std::map<std::string, double> medians_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Each block size's three loops run close together.
    for (int block : kBlocks)
        for (auto* b :
             {benchmark::RegisterBenchmark("lv2_run", Lv2Run), benchmark::RegisterBenchmark("vst2_float", VstProcess),
              benchmark::RegisterBenchmark("ideal_float", Ideal)})
            b->Arg(block)->Unit(benchmark::kNanosecond)->Repetitions(7)->ReportAggregatesOnly(true);
    const bool agree = AllAgree();
    // A warm machine for the first benchmark too: the clock speed settles before anything is measured.
    for (int i = 0; i < 20000 && agree; ++i) {
        TheLv2().descriptor->run(TheLv2().handle, kMaxBlock / 8);
        TheVst().plugin->process(TheBuffers().ins, TheBuffers().outs, kMaxBlock / 8);
    }
    SideBySide reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.PrintSummary(agree) ? 0 : 1;
}
