// Shared by the CLAP contract tests: the built .clap module, loaded once and
// reached through clap_entry only, and the VST 2.4 module it must equal.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/clap/clap_host.h"
#include "host/vsthost.h"

namespace clap_contract {

using vsthost::clap::EventList;
using vsthost::clap::Instance;
using vsthost::clap::InStream;
using vsthost::clap::OutStream;
using vsthost::clap::ParamValueEvent;

inline constexpr std::uint32_t kParameters = 6;
inline constexpr std::uint32_t kMaxFrames = 4096;

inline vsthost::clap::Module& TheModule() {
    static vsthost::clap::Module module(std::string("./") + CLAP_MODULE_FILE);
    return module;
}

inline vsthost::Module& Vst2Module() {
    static vsthost::Module module(std::string("./") + PLUGIN_MODULE_FILE);
    return module;
}

// A host and one instance, created but not initialised.
struct Clap {
    vsthost::clap::Host host;
    std::unique_ptr<Instance> plugin;

    Clap() : plugin(std::make_unique<Instance>(TheModule(), host)) {}
    Instance& operator*() { return *plugin; }
    Instance* operator->() { return plugin.get(); }
};

// The VST 2.4 module's instance, started as a VST 2.4 host starts it.
struct Vst2 {
    vsthost::Host host;
    std::unique_ptr<vsthost::Instance> plugin;

    Vst2() {
        host.logRequests = false;
        AEffect* effect = host.instantiate(Vst2Module().entry());
        if (!effect) return;
        plugin = std::make_unique<vsthost::Instance>(effect, host);
        plugin->start(44100.0f, static_cast<VstInt32>(kMaxFrames));
    }
    vsthost::Instance* operator->() { return plugin.get(); }
};

// The plain value a CLAP host sends for what a VST 2.4 host sets as the
// normalised float f; the plug-in's narrowing gives f back exactly.
inline double PlainFor(const Instance& plugin, clap_id id, float f) {
    const auto info = plugin.paramInfo(id);
    if (!info) {
        ADD_FAILURE() << "no parameter " << id;
        return 0.0;
    }
    const double range = info->max_value - info->min_value;
    const double plain = info->min_value + static_cast<double>(f) * range;
    EXPECT_EQ(static_cast<float>((plain - info->min_value) / range), f) << id;
    return plain;
}

// One setting as VST 2.4 normalised floats, in parameter order.
struct Setting {
    float values[kParameters];
};

inline const std::vector<Setting>& Settings() {
    static const std::vector<Setting> settings = {
        {{0.5f, 0.5f, 0.0f, 0, 0, 0.5f}},
        {{0.5f, 0.5f, 1.0f, 0, 0, 0.5f}},
        {{0.5f, 0.5f, 0.5f, 0, 0, 0.5f}},
        {{0.0f, 1.0f, 0.37f, 0, 0, 1.0f}},
        {{0.73f, 0.21f, 0.66f, 1, 0, 0.05f}},
        {{0.31f, 0.9f, 0.5f, 0, 1, 0.77f}},
        {{0.5f, 0.5f, 0.5f, 1, 1, 0.5f}},
        {{0.123f, 0.877f, 0.999f, 0, 0, 0.4f}},
        {{0.4999f, 0.5049f, 0.005f, 0.6f, 0.4f, 0.0f}},
    };
    return settings;
}

// Every parameter of the setting at frame time.
inline void AddSetting(EventList& events, const Instance& plugin, const Setting& setting, std::uint32_t time = 0) {
    for (clap_id k = 0; k < kParameters; ++k) events.addParamValue(time, k, PlainFor(plugin, k, setting.values[k]));
}

inline void ApplySetting(Vst2& vst2, const Setting& setting) {
    for (VstInt32 k = 0; k < static_cast<VstInt32>(kParameters); ++k) vst2->setParameter(k, setting.values[k]);
}

template <class Sample>
std::vector<std::vector<Sample>> Signal(std::uint32_t seed, std::size_t frames) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<std::vector<Sample>> channels(2, std::vector<Sample>(frames));
    for (auto& channel : channels)
        for (Sample& x : channel) x = uniform(random);
    return channels;
}

template <class Sample>
std::vector<std::vector<Sample>> Blank(std::size_t frames, Sample fill = Sample(9)) {
    return std::vector<std::vector<Sample>>(2, std::vector<Sample>(frames, fill));
}

// The same bits, not just equal values: -0 and +0 differ here.
template <class Sample>
bool SameBits(const std::vector<Sample>& a, const std::vector<Sample>& b, std::size_t from = 0,
              std::size_t to = static_cast<std::size_t>(-1)) {
    if (a.size() != b.size()) return false;
    if (to > a.size()) to = a.size();
    return from >= to || std::memcmp(a.data() + from, b.data() + from, (to - from) * sizeof(Sample)) == 0;
}

// The VST 2.4 module's output for the inputs, in either width.
inline std::vector<std::vector<float>> Vst2Output(Vst2& vst2, std::vector<std::vector<float>> inputs) {
    auto outputs = Blank<float>(inputs[0].size());
    vst2->process(inputs, outputs);
    return outputs;
}
inline std::vector<std::vector<double>> Vst2Output(Vst2& vst2, std::vector<std::vector<double>> inputs) {
    auto outputs = Blank<double>(inputs[0].size());
    vst2->processDouble(inputs, outputs);
    return outputs;
}

} // namespace clap_contract
