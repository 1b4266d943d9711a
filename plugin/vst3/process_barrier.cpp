#include "plugin/vst3/process_barrier.h"

#if defined(__linux__)
#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vst3_plugin {

#if defined(__linux__)

namespace {

long Membarrier(int command) { return syscall(__NR_membarrier, command, 0, 0); }

bool Register() {
    const long supported = Membarrier(MEMBARRIER_CMD_QUERY);
    if (supported < 0 || !(supported & MEMBARRIER_CMD_PRIVATE_EXPEDITED) ||
        !(supported & MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED))
        return false;
    return Membarrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED) == 0;
}

} // namespace

bool ProcessBarrierAvailable() {
    static const bool available = Register();
    return available;
}

void ProcessBarrier() { Membarrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED); }

#else

// Windows has FlushProcessWriteBuffers, but Wine, which runs our Windows
// tests, answers it without a barrier; the owner falls back to locked
// instructions there.
bool ProcessBarrierAvailable() { return false; }

void ProcessBarrier() {}

#endif

} // namespace vst3_plugin
