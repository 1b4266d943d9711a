// The main thread reads values, texts and state, and loads state, while the
// audio thread processes with parameter events: what the interface allows at
// once. The linux-tsan preset runs it under ThreadSanitizer, with no
// suppression.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "host/clap/clap_host.h"

namespace {

using vsthost::clap::EventList;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kFrames = 64;
constexpr std::uint32_t kParameters = 6;

Bytes Chunk(float level, float crossfader) {
    std::vector<float> elements(65, 0.0f);
    elements[0] = -1000.0f;
    elements[1] = level;
    elements[3] = crossfader;
    Bytes bytes(elements.size() * 4);
    std::memcpy(bytes.data(), elements.data(), bytes.size());
    return bytes;
}

bool HasMarker(const Bytes& bytes) {
    float marker = 0;
    if (bytes.size() >= 4) std::memcpy(&marker, bytes.data(), 4);
    return marker == -1000.0f;
}

} // namespace

TEST(ClapConcurrency, MainThreadReadsAndLoadsWhileTheAudioThreadProcessesWithEvents) {
    vsthost::clap::Module module(std::string("./") + CLAP_MODULE_FILE);
    ASSERT_TRUE(module.ok()) << module.error();
    vsthost::clap::Host host;
    host.logCalls = false;
    vsthost::clap::Instance plugin(module, host);
    ASSERT_TRUE(plugin.init());
    ASSERT_TRUE(plugin.activate(48000.0, 1, kFrames));
    std::vector<clap_param_info> infos;
    for (clap_id k = 0; k < kParameters; ++k) infos.push_back(plugin.paramInfo(k).value());
    const Bytes chunks[2] = {Chunk(-6.0f, 0.25f), Chunk(4.5f, 0.75f)};

    // The audio thread keeps processing until the main thread has had its
    // rounds, however the two are scheduled.
    constexpr int kRounds = 200;
    std::atomic<int> rounds{0};
    std::atomic<bool> done{false};
    bool audioFinite = true, started = false;
    std::thread audio([&] {
        started = plugin.startProcessing();
        std::vector<std::vector<float>> in(2, std::vector<float>(kFrames)), out(2, std::vector<float>(kFrames));
        for (std::uint32_t j = 0; j < kFrames; ++j) {
            in[0][j] = static_cast<float>(std::sin(0.1 * j));
            in[1][j] = static_cast<float>(std::cos(0.07 * j));
        }
        unsigned state = 1;
        EventList events;
        for (int block = 0; started && (block < 2000 || rounds.load() < kRounds) && block < 10000000; ++block) {
            events.clear();
            for (int e = 0; e < 3; ++e) {
                state = state * 1664525u + 1013904223u;
                const clap_id id = (state >> 4) % kParameters;
                const double span = infos[id].max_value - infos[id].min_value;
                events.addParamValue((state >> 12) % kFrames * e / 3, id,
                                     infos[id].min_value + span * static_cast<double>((state >> 16) % 1001) / 1000.0);
            }
            plugin.process(in, out, &events);
            for (const auto& channel : out)
                for (float x : channel) audioFinite = audioFinite && std::isfinite(x);
        }
        plugin.stopProcessing();
        done.store(true);
    });

    bool valuesInRange = true, textsRead = true, savesWhole = true, loadsTaken = true;
    while (!done.load()) {
        for (clap_id k = 0; k < kParameters; ++k) {
            const auto value = plugin.value(k);
            valuesInRange = valuesInRange && value && *value >= infos[k].min_value && *value <= infos[k].max_value;
            const auto text = plugin.valueToText(k, value.value_or(0.0));
            textsRead = textsRead && text && !text->empty();
        }
        const auto saved = plugin.save();
        savesWhole = savesWhole && saved && saved->size() == 260 && HasMarker(*saved);
        loadsTaken = loadsTaken && plugin.load(chunks[rounds.load() % 2]);
        rounds.fetch_add(1);
    }
    audio.join();
    ASSERT_TRUE(started);
    EXPECT_TRUE(audioFinite);
    EXPECT_TRUE(valuesInRange);
    EXPECT_TRUE(textsRead);
    EXPECT_TRUE(savesWhole);
    EXPECT_TRUE(loadsTaken);
    EXPECT_GE(rounds.load(), kRounds);

    // Once the audio thread has stopped, the last load is what the instance holds.
    ASSERT_TRUE(plugin.load(chunks[1]));
    plugin.deactivate();
    EXPECT_EQ(plugin.save(), chunks[1]);
    EXPECT_EQ(plugin.value(0), 4.5);
    EXPECT_EQ(plugin.value(2), 0.75);
}
