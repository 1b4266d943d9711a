// The audio thread's calls allocate nothing and take no lock: process with
// events and transport, in either width, a state load handed over from the
// main thread, and flush while active. This executable replaces the C
// allocator and the mutex calls with counting versions; the loaded module's
// calls resolve to them too.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/clap/clap_host.h"

namespace {
thread_local bool counting = false;
thread_local long allocations = 0, locks = 0;
} // namespace

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    if (counting) ++allocations;
    return __libc_malloc(n);
}
void* calloc(std::size_t count, std::size_t n) {
    if (counting) ++allocations;
    return __libc_calloc(count, n);
}
void* realloc(void* p, std::size_t n) {
    if (counting) ++allocations;
    return __libc_realloc(p, n);
}
void* aligned_alloc(std::size_t alignment, std::size_t n) {
    if (counting) ++allocations;
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {
    if (counting) ++allocations;
    *out = __libc_memalign(alignment, n);
    return *out ? 0 : 12; // ENOMEM
}
void free(void* p) { __libc_free(p); }
}

namespace {
using MutexCall = int (*)(pthread_mutex_t*);
const MutexCall realLock = reinterpret_cast<MutexCall>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
const MutexCall realTryLock = reinterpret_cast<MutexCall>(dlsym(RTLD_NEXT, "pthread_mutex_trylock"));
} // namespace

extern "C" {
int pthread_mutex_lock(pthread_mutex_t* m) {
    if (counting) ++locks;
    return realLock(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    if (counting) ++locks;
    return realTryLock(m);
}
}

namespace {

template <class F>
long Count(F&& call) {
    allocations = locks = 0;
    counting = true;
    call();
    counting = false;
    return allocations + locks;
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
    EXPECT_GT(Count([&] { plugin = factory->create_plugin(factory, host.get(), module.descriptors()[0]->id); }), 0);
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
            EXPECT_EQ(Count([&] { plugin.process(fin, fout, frames, &events, round ? &transport : nullptr); }), 0)
                << frames;
            EXPECT_EQ(Count([&] { plugin.process(din, dout, frames, &events, round ? &transport : nullptr); }), 0)
                << frames;
        }
        ASSERT_TRUE(plugin.load(Chunk(1.0f)));
        plugin.stopProcessing();
        EXPECT_EQ(Count([&] { plugin.flush(events); }), 0);
        ASSERT_TRUE(plugin.startProcessing());
    }
}
