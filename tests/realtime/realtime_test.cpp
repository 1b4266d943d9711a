// Processing calls allocate nothing and take no lock. This executable
// replaces the C allocator and the mutex calls with counting versions; the
// loaded module's calls resolve to them too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "counting.h"
#include "host/vsthost.h"

TEST(Realtime, TheCountersSeeAllocationsAndLocksIncludingTheModules) {
    void* volatile p = nullptr;
    EXPECT_EQ(Count([&] { p = std::malloc(16); }).allocations, 1);
    std::free(p);
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    EXPECT_EQ(Count([&] { pthread_mutex_lock(&mutex); }).locks, 1);
    pthread_mutex_unlock(&mutex);
    vsthost::Module module(std::string("./") + PLUGIN_MODULE_FILE);
    ASSERT_TRUE(module.ok()) << module.error();
    vsthost::Host host;
    host.logRequests = false;
    AEffect* effect = nullptr;
    EXPECT_GT(Count([&] { effect = host.instantiate(module.entry()); }).allocations, 0);
    vsthost::Instance plugin(effect, host);
}

TEST(Realtime, ProcessingCallsNeitherAllocateNorLock) {
    vsthost::Module module(std::string("./") + PLUGIN_MODULE_FILE);
    ASSERT_TRUE(module.ok()) << module.error();
    vsthost::Host host;
    host.logRequests = false;
    vsthost::Instance plugin(host.instantiate(module.entry()), host);
    plugin.start(48000.0f, 512);
    std::vector<float> f[4] = {std::vector<float>(512, 0.5f), std::vector<float>(512, -0.25f), std::vector<float>(512),
                               std::vector<float>(512)};
    std::vector<double> d[4] = {std::vector<double>(512, 0.5), std::vector<double>(512, -0.25),
                                std::vector<double>(512), std::vector<double>(512)};
    float* fin[2] = {f[0].data(), f[1].data()};
    float* fout[2] = {f[2].data(), f[3].data()};
    double* din[2] = {d[0].data(), d[1].data()};
    double* dout[2] = {d[2].data(), d[3].data()};

    // The first calls too: they fill the channel counts.
    for (int round = 0; round < 3; ++round) {
        for (VstInt32 frames : {512, 0, 1, 37}) {
            const Counted single = Count([&] { plugin.process(fin, fout, frames); });
            EXPECT_EQ(single.allocations, 0) << frames;
            EXPECT_EQ(single.locks, 0) << frames;
            const Counted twice = Count([&] { plugin.processDouble(din, dout, frames); });
            EXPECT_EQ(twice.allocations, 0) << frames;
            EXPECT_EQ(twice.locks, 0) << frames;
        }
        plugin.setParameter(2, 0.3f * static_cast<float>(round));
        host.provideTime = round != 1; // with and without a time record
    }
}
