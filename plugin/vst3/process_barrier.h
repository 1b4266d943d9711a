// A memory barrier on every running thread of this process at once, paid
// for by the one thread that asks. It lets a thread that runs often (the
// audio thread) announce itself with a plain store and check a flag with a
// plain load, while the thread that runs rarely (a main-thread call) pays
// for ordering both sides.
#pragma once

namespace vst3_plugin {

// Whether this system has the barrier; the first call sets it up.
bool ProcessBarrierAvailable();

// Every thread's stores before this call are visible to its loads after it,
// and the caller's own stores before it to every thread's loads after it.
// Only after ProcessBarrierAvailable() answered true.
void ProcessBarrier();

} // namespace vst3_plugin
