// What every benchmark shares: the buffers, the settings, the ideal loop of
// the crossfader's arithmetic, a VST 2.4 host that answers at once, and a
// reporter that keeps each median for the side-by-side tables.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/vsthost.h"

namespace bench {

inline const int kBlocks[] = {32, 64, 512, 4096};
inline constexpr int kMaxBlock = 4096;
inline constexpr double kRate = 48000.0;

// The settings every processing benchmark runs with, normalised, in every format.
inline const float kSettings[6] = {0.62f, 0.41f, 0.37f, 0.0f, 0.0f, 0.55f};
// The sliders' ranges and steps, for formats that take plain values and for the ideal loop.
inline const double kMinimum[6] = {-10, -10, 0, 0, 0, -10}, kMaximum[6] = {10, 10, 1, 1, 1, 10},
                    kStep[6] = {0.1, 0.1, 0.01, 1, 1, 0.1};

inline double Plain(int k) { return kMinimum[k] + kSettings[k] * (kMaximum[k] - kMinimum[k]); }

// The same random input in every benchmark.
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

// The crossfader's gains for kSettings, as its slider section derives them:
// each setting quantised to its slider's step, levels in dB.
struct IdealGains {
    double on1, on2, gainIn1, gainIn2, w1, w2, outGain;
};

inline const IdealGains& Gains() {
    static const IdealGains gains = [] {
        double s[6];
        for (int k = 0; k < 6; ++k) {
            const double x = kSettings[k];
            s[k] = std::floor((kMinimum[k] + x * (kMaximum[k] - kMinimum[k]) + kStep[k] * 0.5) / kStep[k]) * kStep[k];
        }
        volatile double ten = 10.0; // the C library's pow, as the plug-in calls it
        const double centred = (s[2] - 1.0) * 10.0 + s[2] * 10.0;
        const double boost = (std::fabs(centred / 20.0) - std::fabs(centred / 10.0) + 1.0 + 1.5) * 0.5;
        return IdealGains{1.0 - s[3], 1.0 - s[4], std::pow(ten, s[0] / 20.0),        std::pow(ten, s[1] / 20.0),
                          1.0 - s[2], s[2],       std::pow(ten, s[5] / 20.0) * boost};
    }();
    return gains;
}

inline double Stored(double v) { return (v - v == 0.0) ? v : 0.0; }

// The ideal: the crossfader's arithmetic with the store rule and nothing else.
// A function of its own on a cache line, like the modules' frame loops, so
// that its loop sits alike in every executable.
template <class Sample>
[[gnu::noinline, gnu::aligned(64)]] void IdealLoop(const Sample* in0, const Sample* in1, Sample* out0, Sample* out1, int frames) {
    const IdealGains& g = Gains();
    const double on1 = g.on1, on2 = g.on2, gainIn1 = g.gainIn1, gainIn2 = g.gainIn2, w1 = g.w1, w2 = g.w2;
    const double outGain = g.outGain;
    for (int j = 0; j < frames; ++j) {
        const double a = Stored(on2 * in1[j]), b = Stored(on1 * in0[j]);
        const double mix1 = Stored((b * gainIn1) * w1), mix2 = Stored((a * gainIn2) * w2);
        out0[j] = static_cast<Sample>(Stored(outGain * (mix1 + mix2)));
        out1[j] = static_cast<Sample>(Stored(outGain * (mix2 + mix1)));
    }
}

// Whether a format's output for the whole buffer is the ideal loop's, bit for bit.
template <class Sample>
bool MatchesIdeal(const Sample* out0, const Sample* out1) {
    auto& b = TheBuffers<Sample>();
    std::vector<Sample> ideal0(kMaxBlock), ideal1(kMaxBlock);
    IdealLoop(b.ins[0], b.ins[1], ideal0.data(), ideal1.data(), kMaxBlock);
    return std::memcmp(ideal0.data(), out0, sizeof(Sample) * kMaxBlock) == 0 &&
           std::memcmp(ideal1.data(), out1, sizeof(Sample) * kMaxBlock) == 0;
}

inline void PerFrame(benchmark::State& state, int frames) {
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["ns/frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
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

template <class F>
benchmark::internal::Benchmark* PerBlock(const char* name, F function) {
    auto* b = benchmark::RegisterBenchmark(name, function);
    for (int block : kBlocks) b->Arg(block);
    return b->Unit(benchmark::kNanosecond)->Repetitions(7)->ReportAggregatesOnly(true);
}

// A host that answers at once: the time record it always has, and the few
// facts a plug-in asks for while it starts. What the host library's own
// callback spends on its request log stays out of the figures.
inline VstTimeInfo& TheTime() {
    static VstTimeInfo time = [] {
        VstTimeInfo t{};
        t.sampleRate = kRate;
        t.tempo = 120.0;
        t.timeSigNumerator = 4;
        t.timeSigDenominator = 4;
        t.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
        return t;
    }();
    return time;
}

inline VstIntPtr VSTCALLBACK AnswerAtOnce(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
    case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&TheTime());
    case audioMasterVersion: return kVstVersion;
    case audioMasterGetSampleRate: return static_cast<VstIntPtr>(kRate);
    case audioMasterGetBlockSize: return kMaxBlock;
    default: return 0;
    }
}

// A VST 2.4 module loaded, started and set to kSettings.
struct Vst2 {
    vsthost::Module module;
    vsthost::Host host; // unused by the callback; the instance helpers want one
    std::unique_ptr<vsthost::Instance> plugin;

    explicit Vst2(const std::string& path) : module(path) {
        if (!module.ok() || !module.entry()) return;
        AEffect* effect = module.entry()(AnswerAtOnce);
        if (!effect) return;
        plugin = std::make_unique<vsthost::Instance>(effect, host);
        plugin->start(static_cast<float>(kRate), kMaxBlock);
        Apply();
    }
    void Apply() {
        for (int k = 0; k < 6; ++k) plugin->setParameter(k, kSettings[k]);
    }
};

template <class Sample>
void Vst2Process(Vst2& vst, benchmark::State& state) {
    if (!vst.plugin) return state.SkipWithError("the VST 2.4 module did not load");
    auto& b = TheBuffers<Sample>();
    const int frames = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if constexpr (sizeof(Sample) == sizeof(double)) vst.plugin->processDouble(b.ins, b.outs, frames);
        else vst.plugin->process(b.ins, b.outs, frames);
        benchmark::ClobberMemory();
    }
    PerFrame(state, frames);
}

// Keeps every median as it is reported, for the tables printed at the end.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    MedianReporter() : ConsoleReporter(OO_Tabular) {}

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
    // Nanoseconds per frame of a per-block benchmark.
    double PerFrameMedian(const std::string& name, int block) const {
        return Median(name + "/" + std::to_string(block)) / block;
    }

private:
    std::map<std::string, double> medians_;
};

// With QUILL_BENCH_PAIRED_ONLY set, an executable runs only its paired
// target comparisons: scripts/bench.sh runs it so several times and judges
// the targets by the median of the runs, as each process's code and buffer
// placement moves its figures by a percent or two.
inline bool PairedOnly() { return std::getenv("QUILL_BENCH_PAIRED_ONLY") != nullptr; }

// Prints a format's medians beside the VST 2.4 module's and the ideal's.
inline void PrintFormatTable(const MedianReporter& r, const char* format, const std::string& floatName,
                             const std::string& doubleName) {
    if (PairedOnly()) return;
    std::printf("\n## %s side by side (medians; ns per frame)\n\n", format);
    std::printf("| block | %s float | vst2 float | ideal float | / ideal | / vst2 |%s\n", format,
                doubleName.empty() ? "" : " double | ideal double | / ideal |");
    std::printf("|---:|---:|---:|---:|---:|---:|%s\n", doubleName.empty() ? "" : "---:|---:|---:|");
    for (int block : kBlocks) {
        const double f = r.PerFrameMedian(floatName, block), v = r.PerFrameMedian("vst2_float", block),
                     i = r.PerFrameMedian("ideal_float", block);
        std::printf("| %d | %.3f | %.3f | %.3f | %.2f | %.2f |", block, f, v, i, f / i, f / v);
        if (!doubleName.empty()) {
            const double d = r.PerFrameMedian(doubleName, block), id = r.PerFrameMedian("ideal_double", block);
            std::printf(" %.3f | %.3f | %.2f |", d, id, d / id);
        }
        std::printf("\n");
    }
}

// Two ways of processing the same block compared on a noisy machine: timed
// alternately in bursts of a few tens of microseconds, so that both see the
// same machine, and summed up by the medians of the bursts' ratios and
// differences. Separate benchmarks, seconds apart, differ by more than the
// costs being compared.
struct Paired {
    double ratio;      // a's time over b's
    double difference; // a's time minus b's, ns per call
};

template <class F>
double BurstNs(F& call, int calls) {
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < calls; ++n) {
        call();
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / calls;
}

template <class A, class B>
Paired ComparePaired(A a, B b, int frames, int rounds = 2001) {
    const int calls = frames < 16384 ? 16384 / frames : 1;
    BurstNs(a, calls);
    BurstNs(b, calls);
    std::vector<double> ratios, differences;
    for (int r = 0; r < rounds; ++r) {
        double ta, tb;
        if (r % 2) {
            ta = BurstNs(a, calls);
            tb = BurstNs(b, calls);
        } else {
            tb = BurstNs(b, calls);
            ta = BurstNs(a, calls);
        }
        ratios.push_back(ta / tb);
        differences.push_back(ta - tb);
    }
    const auto median = [](std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    return {median(ratios), median(differences)};
}

// One line of the targets table; answers whether the figure is within it.
inline bool PrintTarget(const char* what, double figure, double limit, const char* unit) {
    const bool met = figure <= limit;
    std::printf("| %s | %.3f%s | ≤ %.3g%s | %s |\n", what, figure, unit, limit, unit, met ? "met" : "NOT MET");
    return met;
}

// formatCall(frames) against the ideal loop over the same float buffers, at
// a block size the compiler cannot see, as a module's loop cannot.
template <class FormatCall>
Paired PairedWithIdeal(FormatCall formatCall, int frames) {
    auto& b = TheBuffers<float>();
    benchmark::DoNotOptimize(frames);
    const auto ideal = [&b, frames] { IdealLoop(b.ins[0], b.ins[1], b.outs[0], b.outs[1], frames); };
    return ComparePaired([&] { formatCall(frames); }, ideal, frames);
}

// The newer formats' targets, from paired comparisons of float calls: block
// 512 within 1.1 x the ideal loop, block 32 no dearer than the VST 2.4
// module. formatCall(frames) and vst2Call(frames) make one call of a block.
template <class FormatCall, class Vst2Call>
bool PrintPairedTargets(const char* format, FormatCall formatCall, Vst2Call vst2Call) {
    const Paired small = ComparePaired([&] { formatCall(32); }, [&] { vst2Call(32); }, 32);
    const Paired wide = PairedWithIdeal(formatCall, 512);
    std::printf("\n## %s targets (paired bursts, float)\n\n| comparison | median | target | |\n|---|---:|---:|---|\n",
                format);
    const std::string a = std::string(format) + " / vst2 at block 32", c = std::string(format) + " / ideal at block 512";
    const bool met32 = PrintTarget(a.c_str(), small.ratio, 1.0, " x");
    const bool met512 = PrintTarget(c.c_str(), wide.ratio, 1.1, " x");
    return met32 && met512;
}

} // namespace bench
