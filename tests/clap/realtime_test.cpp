// The audio thread's calls allocate nothing and take no lock: process with
// events and transport, in either width, a state load handed over from the
// main thread, and flush while active. This executable replaces the C
// allocator and the mutex calls with counting versions; the loaded module's
// calls resolve to them too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "../realtime/counting.h"
#include "host/clap/clap_host.h"

namespace {

template <class F>
long Total(F&& call) {
    const Counted counted = Count(call);
    return counted.allocations + counted.locks;
}

std::vector<std::uint8_t> Chunk(float level) {
    std::vector<float> elements(65, 0.0f);
    elements[0] = -1000.0f;
    elements[1] = level;
    std::vector<std::uint8_t> bytes(elements.size() * 4);
    std::memcpy(bytes.data(), elements.data(), bytes.size());
    return bytes;
}

} // namespace

TEST(ClapRealtime, TheCountersSeeTheModulesAllocations) {
    vsthost::clap::Module module(std::string("./") + CLAP_MODULE_FILE);
    ASSERT_TRUE(module.ok()) << module.error();
    vsthost::clap::Host host;
    host.logCalls = false;
    const clap_plugin_factory* factory = module.factory();
    const clap_plugin* plugin = nullptr;
    EXPECT_GT(Total([&] { plugin = factory->create_plugin(factory, host.get(), module.descriptors()[0]->id); }), 0);
    ASSERT_NE(plugin, nullptr);
    plugin->destroy(plugin);
}

TEST(ClapRealtime, AudioThreadCallsNeitherAllocateNorLock) {
    vsthost::clap::Module module(std::string("./") + CLAP_MODULE_FILE);
    ASSERT_TRUE(module.ok()) << module.error();
    vsthost::clap::Host host;
    host.logCalls = false;
    vsthost::clap::Instance plugin(module, host);
    ASSERT_TRUE(plugin.start(48000.0, 512));
    std::vector<float> f[4] = {std::vector<float>(512, 0.5f), std::vector<float>(512, -0.25f), std::vector<float>(512),
                               std::vector<float>(512)};
    std::vector<double> d[4] = {std::vector<double>(512, 0.5), std::vector<double>(512, -0.25),
                                std::vector<double>(512), std::vector<double>(512)};
    float* fin[2] = {f[0].data(), f[1].data()};
    float* fout[2] = {f[2].data(), f[3].data()};
    double* din[2] = {d[0].data(), d[1].data()};
    double* dout[2] = {d[2].data(), d[3].data()};
    clap_event_transport transport{};
    transport.header = {sizeof transport, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_IS_PLAYING;
    transport.tempo = 120.0;

    for (int round = 0; round < 3; ++round) {
        vsthost::clap::EventList events;
        for (std::uint32_t k = 0; k < 6; ++k) events.addParamValue(k * 60, k, 0.3 * round);
        // A load the main thread hands over: the next call restores it.
        ASSERT_TRUE(plugin.load(Chunk(-2.0f * static_cast<float>(round))));
        for (std::uint32_t frames : {512u, 0u, 1u, 37u}) {
            EXPECT_EQ(Total([&] { plugin.process(fin, fout, frames, &events, round ? &transport : nullptr); }), 0)
                << frames;
            EXPECT_EQ(Total([&] { plugin.process(din, dout, frames, &events, round ? &transport : nullptr); }), 0)
                << frames;
        }
        ASSERT_TRUE(plugin.load(Chunk(1.0f)));
        plugin.stopProcessing();
        EXPECT_EQ(Total([&] { plugin.flush(events); }), 0);
        ASSERT_TRUE(plugin.startProcessing());
    }
}
