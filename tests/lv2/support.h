// Shared by the LV2 tests: the built bundle through lilv, the VST 2.4 module
// beside it as the reference, and the value rule that links the two.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/lv2/lv2host.h"
#include "host/vsthost.h"

namespace lv2test {

inline constexpr char kUri[] = "urn:morvantide:crossfader_2x_mono";
inline constexpr const char* kControls[6] = {"level_1",       "level_2",       "crossfader",
                                             "channel_1_off", "channel_2_off", "output_level"};
inline constexpr float kRate = 48000.0f;
inline constexpr std::uint32_t kMaxBlock = 4096;

// The LV2 vocabularies only, then the bundle: no installed copy can stand in for it.
inline lv2host::World& TheWorld() {
    static lv2host::World world(LV2_VOCABULARY_DIR);
    return world;
}

inline const LilvPlugin* ThePlugin() {
    static const LilvPlugin* plugin = [] {
        std::string error;
        const LilvPlugin* found = TheWorld().loadPlugin(LV2_BUNDLE_DIR, kUri, error);
        if (!found) ADD_FAILURE() << error;
        return found;
    }();
    return plugin;
}

// One LV2 instance, active, its audio ports on buffers of kMaxBlock frames.
struct Lv2Rig {
    std::unique_ptr<lv2host::Instance> plugin;
    std::vector<float> in[2], out[2];

    explicit Lv2Rig(const lv2host::InstanceOptions& options = {}) {
        std::string error;
        plugin = lv2host::Instance::Create(TheWorld(), ThePlugin(), options, error);
        if (!plugin) {
            ADD_FAILURE() << error;
            return;
        }
        for (int c = 0; c < 2; ++c) {
            in[c].assign(kMaxBlock, 0.0f);
            out[c].assign(kMaxBlock, 0.0f);
            plugin->connect(static_cast<std::uint32_t>(c), in[c].data());
            plugin->connect(static_cast<std::uint32_t>(2 + c), out[c].data());
        }
        plugin->activate();
    }
    lv2host::Instance* operator->() { return plugin.get(); }
};

// The VST 2.4 module, started at the same rate.
struct VstRig {
    vsthost::Host host;
    std::unique_ptr<vsthost::Instance> plugin;

    explicit VstRig(std::int32_t block = kMaxBlock) {
        static vsthost::Module module(VST_MODULE_PATH);
        host.logRequests = false;
        AEffect* effect = module.entry() ? host.instantiate(module.entry()) : nullptr;
        if (!effect) {
            ADD_FAILURE() << "cannot load " << VST_MODULE_PATH << ": " << module.error();
            return;
        }
        plugin = std::make_unique<vsthost::Instance>(effect, host);
        plugin->start(kRate, block);
    }
    vsthost::Instance* operator->() { return plugin.get(); }
};

// A control port's value as the VST 2.4 module's normalised float, by the
// newer formats' rule: in double, clamped, narrowed; non-finite values are
// ignored, as a VST 2.4 module ignores a NaN.
inline float Normalised(const lv2host::PortInfo& port, float value) {
    if (!std::isfinite(value)) return NAN;
    const double n = (static_cast<double>(value) - port.minimum) / (static_cast<double>(port.maximum) - port.minimum);
    return static_cast<float>(n < 0.0 ? 0.0 : n > 1.0 ? 1.0 : n);
}

// Sets six control values on both formats.
inline void Apply(lv2host::Instance& lv2, vsthost::Instance& vst, const float (&values)[6]) {
    for (int k = 0; k < 6; ++k) {
        ASSERT_TRUE(lv2.setControl(kControls[k], values[k]));
        vst.setParameter(k, Normalised(*lv2.port(kControls[k]), values[k]));
    }
}

// Noise in [-1, 1] with now and then a value no host should send.
inline std::vector<float> Signal(std::uint32_t seed, std::size_t n) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    const float odd[] = {NAN, INFINITY, -INFINITY, 1e-40f, 3e38f, -0.0f};
    std::vector<float> v(n);
    for (std::size_t j = 0; j < n; ++j) v[j] = j % 997 == 500 ? odd[(j / 997) % 6] : uniform(random);
    return v;
}

} // namespace lv2test
