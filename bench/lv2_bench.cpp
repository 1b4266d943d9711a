// The LV2 run's cost per frame as a host pays it, side by side with the VST
// 2.4 module's float path and a hand-written loop of the same arithmetic, in
// one run. Ends with a table of ratios and the targets they are held to.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include "bench/common.h"
#include "host/module.h"

namespace {

using namespace bench;

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
        auto& b = TheBuffers<float>();
        descriptor->connect_port(handle, 0, b.in0.data());
        descriptor->connect_port(handle, 1, b.in1.data());
        descriptor->connect_port(handle, 2, b.out0.data());
        descriptor->connect_port(handle, 3, b.out1.data());
        for (std::uint32_t k = 0; k < 6; ++k) {
            controls[k] = static_cast<float>(Plain(static_cast<int>(k)));
            descriptor->connect_port(handle, 4 + k, &controls[k]);
        }
        descriptor->activate(handle);
    }
};

Lv2& TheLv2() {
    static Lv2 lv2;
    return lv2;
}

Vst2& TheVst() {
    static Vst2 vst(VST_MODULE_PATH);
    return vst;
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

void VstFloat(benchmark::State& state) { Vst2Process<float>(TheVst(), state); }

// The comparison is fair only if all three compute the same bits.
bool AllAgree() {
    Lv2& lv2 = TheLv2();
    Vst2& vst = TheVst();
    if (!lv2.handle || !vst.plugin) return false;
    auto& b = TheBuffers<float>();
    std::vector<float> vst0(kMaxBlock), vst1(kMaxBlock);
    float* vstOuts[2] = {vst0.data(), vst1.data()};
    vst.plugin->process(b.ins, vstOuts, kMaxBlock);
    lv2.descriptor->run(lv2.handle, kMaxBlock);
    const std::size_t bytes = kMaxBlock * sizeof(float);
    return MatchesIdeal(b.outs[0], b.outs[1]) && std::memcmp(vst0.data(), b.outs[0], bytes) == 0 &&
           std::memcmp(vst1.data(), b.outs[1], bytes) == 0;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    PerBlock("lv2_float", Lv2Run);
    PerBlock("vst2_float", VstFloat);
    PerBlock("ideal_float", Ideal<float>);
    const bool agree = AllAgree();
    MedianReporter reporter;
    if (!PairedOnly()) benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintFormatTable(reporter, "lv2", "lv2_float", "");
    Lv2& lv2 = TheLv2();
    auto& b = TheBuffers<float>();
    const bool met =
        lv2.handle && TheVst().plugin &&
        PrintPairedTargets(
            "lv2", [&](int frames) { lv2.descriptor->run(lv2.handle, static_cast<std::uint32_t>(frames)); },
            [&](int frames) { TheVst().plugin->process(b.ins, b.outs, frames); });
    std::printf("LV2, VST 2.4 and ideal outputs identical: %s\n", agree ? "yes" : "NO");
    return met && agree ? 0 : 1;
}
