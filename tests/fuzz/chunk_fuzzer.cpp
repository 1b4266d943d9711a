// Arbitrary bytes restored as the plug-in's state, then everything a host
// does next: save the state again, read the parameters, process.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/vsthost.h"
#include "plugin_entry.h"

namespace {

template <class Sample>
void ProcessAndCheck(vsthost::Instance& plugin) {
    constexpr int frames = 256;
    std::vector<std::vector<Sample>> in(2, std::vector<Sample>(frames)), out(2, std::vector<Sample>(frames));
    for (int j = 0; j < frames; ++j) {
        in[0][j] = static_cast<Sample>(std::sin(0.05 * j));
        in[1][j] = static_cast<Sample>(j % 2 ? 1.0 : -1.0);
    }
    if constexpr (sizeof(Sample) == sizeof(double)) plugin.processDouble(in, out);
    else plugin.process(in, out);
    for (const auto& channel : out)
        for (Sample x : channel)
            if (std::isnan(x)) __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vsthost::Host host;
    host.logRequests = false;
    AEffect* effect = host.instantiate(PluginEntry());
    if (!effect) __builtin_trap();
    vsthost::Instance plugin(effect, host);
    // Half the inputs restore before the first resume, half after.
    const bool early = size % 2 == 1;
    plugin.open();
    if (!early) plugin.resume();
    const std::vector<std::uint8_t> bytes(data, data + size);
    if (plugin.setChunk(bytes, size % 3 == 0) != static_cast<VstIntPtr>(size)) __builtin_trap();
    if (early) plugin.resume();

    const std::vector<std::uint8_t> saved = plugin.getChunk();
    const std::uint8_t marker[4] = {0x00, 0x00, 0x7A, 0xC4};
    if (saved.size() != 260 || std::memcmp(saved.data(), marker, 4) != 0) __builtin_trap();
    for (VstInt32 k = 0; k < effect->numParams; ++k) {
        plugin.getParameter(k);
        if (plugin.parameterDisplay(k).size() >= 32) __builtin_trap();
    }
    ProcessAndCheck<float>(plugin);
    ProcessAndCheck<double>(plugin);
    // What was saved restores to the same state.
    plugin.setChunk(saved);
    if (plugin.getChunk() != saved) __builtin_trap();
    return 0;
}
