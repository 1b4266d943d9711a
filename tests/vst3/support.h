// Shared by the VST3 contract tests: the bundle loaded once and driven only
// through GetPluginFactory, and the VST 2.4 module beside it as the reference.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/vst3/vst3host.h"
#include "host/vsthost.h"

namespace vst3test {

using namespace vst3;
template <class Sample>
using Channels = std::vector<std::vector<Sample>>;

inline vst3host::Module& Bundle() {
    static vst3host::Module module(std::string("./") + VST3_BUNDLE);
    return module;
}

inline vsthost::Module& Vst2Module() {
    static vsthost::Module module(std::string("./") + VST2_MODULE_FILE);
    return module;
}

// A VST3 object as a host creates it; start() takes it to processing.
struct Vst3 : vst3host::Plugin {
    Vst3() : vst3host::Plugin(Bundle().factory()) {}
};

// The VST 2.4 module's instance, started as a host starts it.
struct Vst2 {
    vsthost::Host host;
    std::unique_ptr<vsthost::Instance> plugin;
    explicit Vst2(float rate = 44100.0f, VstInt32 block = 4096) {
        host.logRequests = false;
        AEffect* effect = host.instantiate(Vst2Module().entry());
        if (!effect) return;
        plugin = std::make_unique<vsthost::Instance>(effect, host);
        plugin->start(rate, block);
    }
    template <class Sample>
    void process(Channels<Sample>& in, Channels<Sample>& out) {
        if constexpr (sizeof(Sample) == sizeof(float)) plugin->process(in, out);
        else plugin->processDouble(in, out);
    }
};

inline std::vector<float> Signal(std::uint32_t seed, std::size_t n) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& x : v) x = uniform(random);
    return v;
}

template <class Sample>
Channels<Sample> Input(std::uint32_t seed, std::size_t n) {
    const std::vector<float> a = Signal(seed, n), b = Signal(seed + 1000, n);
    return {{a.begin(), a.end()}, {b.begin(), b.end()}};
}

template <class Sample>
Channels<Sample> Output(std::size_t n) {
    return Channels<Sample>(2, std::vector<Sample>(n, static_cast<Sample>(7)));
}

template <class Sample>
bool SameBits(const Channels<Sample>& a, const Channels<Sample>& b) {
    return a.size() == b.size() && a[0].size() == b[0].size() && a[1].size() == b[1].size() &&
           std::memcmp(a[0].data(), b[0].data(), a[0].size() * sizeof(Sample)) == 0 &&
           std::memcmp(a[1].data(), b[1].data(), a[1].size() * sizeof(Sample)) == 0;
}

// The state chunk: the marker, then slider n as element n.
inline std::vector<std::uint8_t> Chunk(const std::vector<float>& elements) {
    std::vector<std::uint8_t> bytes(elements.size() * 4);
    if (!elements.empty()) std::memcpy(bytes.data(), elements.data(), bytes.size());
    return bytes;
}

inline float Element(const std::vector<std::uint8_t>& chunk, std::size_t n) {
    float value = 0;
    if (chunk.size() >= (n + 1) * 4) std::memcpy(&value, chunk.data() + n * 4, 4);
    return value;
}

inline constexpr float kMarker = -1000.0f;

} // namespace vst3test
