// Two threads at once, as hosts do it: first processing calls of two
// instances together, and parameter changes while the audio thread runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "../contract/reference.h"
#include "host/vsthost.h"

namespace {
// Releases the arriving threads together once all have arrived. Each spins
// on a plain atomic counter, yielding: no blocking wait, so no wake-up to lose.
class StartLine {
public:
    explicit StartLine(int count) : waiting_(count) {}
    void ArriveAndWait() {
        waiting_.fetch_sub(1, std::memory_order_acq_rel);
        while (waiting_.load(std::memory_order_acquire) > 0) std::this_thread::yield();
    }

private:
    std::atomic<int> waiting_;
};

const std::string kModule = std::string("./") + PLUGIN_MODULE_FILE;

std::vector<std::vector<float>> Input(int frames) {
    std::vector<std::vector<float>> in(2, std::vector<float>(frames));
    for (int j = 0; j < frames; ++j) {
        in[0][j] = static_cast<float>(std::sin(0.01 * j));
        in[1][j] = static_cast<float>(std::cos(0.02 * j));
    }
    return in;
}
} // namespace

// Each load of the module starts with its channel counts unset, so every
// round races two first calls against each other.
TEST(Concurrency, FirstProcessingCallsOnTwoThreadsAgreeOnTheChannelCount) {
    constexpr int frames = 256;
    const auto in = Input(frames);
    contract::Reference ref;
    ref.SetFromHost(2, 0.5f);
    for (int round = 0; round < 20; ++round) {
        vsthost::Module module(kModule);
        ASSERT_TRUE(module.ok()) << module.error();
        vsthost::Host hosts[2];
        std::vector<std::unique_ptr<vsthost::Instance>> plugins;
        for (auto& host : hosts) {
            host.logRequests = false;
            plugins.push_back(std::make_unique<vsthost::Instance>(host.instantiate(module.entry()), host));
            plugins.back()->start();
            plugins.back()->setParameter(2, 0.5f);
        }
        std::vector<std::vector<float>> outs[2];
        std::vector<std::vector<double>> doubleOuts[2];
        StartLine start(2);
        auto play = [&](int k) {
            auto input = in;
            std::vector<std::vector<double>> doubleInput(2);
            for (int c = 0; c < 2; ++c) doubleInput[c].assign(in[c].begin(), in[c].end());
            outs[k].assign(2, std::vector<float>(frames));
            doubleOuts[k].assign(2, std::vector<double>(frames));
            start.ArriveAndWait();
            if (k == 0) {
                plugins[k]->process(input, outs[k]);
                plugins[k]->processDouble(doubleInput, doubleOuts[k]);
            } else {
                plugins[k]->processDouble(doubleInput, doubleOuts[k]);
                plugins[k]->process(input, outs[k]);
            }
        };
        std::thread a(play, 0), b(play, 1);
        a.join();
        b.join();
        for (int k = 0; k < 2; ++k)
            for (int j = 0; j < frames; ++j) {
                double o0, o1;
                ref.Frame(in[0][j], in[1][j], o0, o1);
                ASSERT_EQ(doubleOuts[k][0][j], o0) << round << " " << k << " " << j;
                ASSERT_EQ(doubleOuts[k][1][j], o1) << round << " " << k << " " << j;
                ASSERT_EQ(outs[k][0][j], static_cast<float>(o0)) << round << " " << k << " " << j;
                ASSERT_EQ(outs[k][1][j], static_cast<float>(o1)) << round << " " << k << " " << j;
            }
    }
}

// The effect's variables are shared by the two threads without locks, on
// purpose: a block may mix old and new gains, but never crashes or goes
// non-finite.
TEST(Concurrency, ParameterChangesDuringProcessingStayFinite) {
    vsthost::Module module(kModule);
    ASSERT_TRUE(module.ok()) << module.error();
    vsthost::Host host;
    host.logRequests = false;
    vsthost::Instance plugin(host.instantiate(module.entry()), host);
    plugin.start(48000.0f, 64);
    std::atomic<bool> done{false};
    std::thread changer([&] {
        unsigned state = 1;
        while (!done.load(std::memory_order_relaxed)) {
            state = state * 1664525u + 1013904223u;
            plugin.setParameter(static_cast<VstInt32>(state % 6), static_cast<float>((state >> 8) % 1001) / 1000.0f);
            // At a knob's pace, not flat out: the race detector keeps the history of both sides.
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    });
    auto in = Input(64);
    std::vector<std::vector<double>> doubleIn(2);
    for (int c = 0; c < 2; ++c) doubleIn[c].assign(in[c].begin(), in[c].end());
    std::vector<std::vector<float>> out(2, std::vector<float>(64));
    std::vector<std::vector<double>> doubleOut(2, std::vector<double>(64));
    bool finite = true;
    for (int block = 0; block < 4000 && finite; ++block) {
        plugin.process(in, out);
        plugin.processDouble(doubleIn, doubleOut);
        for (int c = 0; c < 2; ++c)
            for (int j = 0; j < 64; ++j) finite = finite && std::isfinite(out[c][j]) && std::isfinite(doubleOut[c][j]);
    }
    done = true;
    changer.join();
    EXPECT_TRUE(finite);
}
