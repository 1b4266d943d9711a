// Processing calls allocate nothing and take no lock. This executable
// replaces the C allocator and the mutex calls with counting versions; the
// loaded module's calls resolve to them too.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <vector>

#include "host/vsthost.h"

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
void* memalign(std::size_t alignment, std::size_t n) {
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
template <class F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
using MutexCall = int (*)(pthread_mutex_t*);
using RwCall = int (*)(pthread_rwlock_t*);
const MutexCall realLock = Next<MutexCall>("pthread_mutex_lock");
const MutexCall realTryLock = Next<MutexCall>("pthread_mutex_trylock");
const RwCall realReadLock = Next<RwCall>("pthread_rwlock_rdlock");
const RwCall realWriteLock = Next<RwCall>("pthread_rwlock_wrlock");
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
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
    if (counting) ++locks;
    return realReadLock(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
    if (counting) ++locks;
    return realWriteLock(l);
}
}

namespace {
struct Counted {
    long allocations, locks;
};

template <class F>
Counted Count(F&& call) {
    allocations = locks = 0;
    counting = true;
    call();
    counting = false;
    return {allocations, locks};
}
} // namespace

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
