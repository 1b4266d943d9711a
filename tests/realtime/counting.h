// Counting versions of the C allocator and of the lock calls, for the tests
// that prove processing calls allocate nothing and take no lock. Included by
// exactly one file of an executable, which then replaces the C library's
// functions for the loaded module too (link it with ENABLE_EXPORTS).
#pragma once

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>

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
