// Two threads at once, as hosts do it: the audio thread processes (and now
// and then stops and restarts, as one host does after an export) while the
// main thread loads and saves states and uses the controller. The linux-tsan
// preset runs this under ThreadSanitizer with no suppressions.
#include <atomic>
#include <thread>

#include "support.h"

using namespace vst3test;

namespace {

// A full chunk whose elements 10 and 11 (no slider's) carry a tag: a copy
// torn between two states would show two different tags.
std::vector<std::uint8_t> TaggedState(float tag, const std::vector<float>& sliders) {
    std::vector<float> elements(65, 0.0f);
    elements[0] = kMarker;
    for (std::size_t n = 0; n < sliders.size(); ++n) elements[n + 1] = sliders[n];
    elements[10] = elements[11] = tag;
    return Chunk(elements);
}

bool InRange(const std::vector<std::uint8_t>& chunk) {
    const float low[6] = {-10, -10, 0, 0, 0, -10}, high[6] = {10, 10, 1, 1, 1, 10};
    for (std::size_t n = 1; n <= 6; ++n)
        if (!(Element(chunk, n) >= low[n - 1] && Element(chunk, n) <= high[n - 1])) return false;
    return true;
}

} // namespace

TEST(Vst3Concurrency, StatesAndControllerCallsWhileTheAudioThreadRuns) {
    Vst3 rig;
    ASSERT_TRUE(rig.start(48000.0, 64));
    const std::vector<std::uint8_t> states[2] = {TaggedState(1.0f, {1.5f, -2.0f, 0.25f, 0, 1, 3.0f}),
                                                 TaggedState(2.0f, {-7.0f, 4.0f, 0.75f, 1, 0, -1.0f})};
    std::atomic<bool> done{false};
    std::atomic<bool> finite{true};
    std::atomic<unsigned> blocks{0};
    std::thread audio([&] {
        auto in = Input<float>(1, 64);
        auto out = Output<float>(64);
        Channels<double> dIn = {{in[0].begin(), in[0].end()}, {in[1].begin(), in[1].end()}}, dOut = dIn;
        for (unsigned n = 0; !done.load(std::memory_order_relaxed); ++n) {
            vst3host::ParameterChanges changes;
            changes.add(n % 6, static_cast<int32>(n % 64), (n % 11) / 10.0);
            const tresult result = n % 2 ? rig.process(in, out, &changes) : rig.process(dIn, dOut, &changes);
            if (result != kResultOk) finite = false;
            for (int j = 0; j < 64; ++j)
                if (!std::isfinite(out[0][j]) || !std::isfinite(dOut[1][j])) finite = false;
            blocks.fetch_add(1, std::memory_order_relaxed);
            if (n % 400 == 399) {
                // Stopped and restarted from the audio thread, as one host does after an export.
                rig.processor->setProcessing(0);
                rig.component->setActive(0);
                rig.component->setActive(1);
                rig.processor->setProcessing(1);
            }
        }
    });
    bool consistent = true;
    // Enough rounds on both sides that they overlap, wherever the scheduler puts the threads.
    for (int round = 0;
         (round < 3000 || blocks.load(std::memory_order_relaxed) < 3000) && round < 1000000 && consistent; ++round) {
        ASSERT_EQ(rig.setState(states[round % 2]), kResultOk);
        const auto saved = rig.getState();
        consistent = saved.size() == 260 && Element(saved, 0) == kMarker && Element(saved, 10) == Element(saved, 11) &&
                     (Element(saved, 10) == 1.0f || Element(saved, 10) == 2.0f) && InRange(saved);
        vst3host::MemoryStream stream(saved);
        ASSERT_EQ(rig.controller->setComponentState(&stream), kResultOk);
        for (ParamID k = 0; k < 6; ++k) {
            const double value = rig.controller->getParamNormalized(k);
            consistent = consistent && value >= 0.0 && value <= 1.0;
            rig.parameterText(k, value);
        }
        rig.controller->setParamNormalized(round % 6, (round % 7) / 6.0);
        if (round % 64 == 0) std::this_thread::yield();
    }
    done = true;
    audio.join();
    EXPECT_TRUE(consistent);
    EXPECT_TRUE(finite);
}
