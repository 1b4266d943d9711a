// The built module, loaded once per fuzzing process.
#pragma once

#include <cstdlib>

#include "host/vsthost.h"

inline VstPluginMainProc PluginEntry() {
    static vsthost::Module module(PLUGIN_MODULE_PATH);
    static const VstPluginMainProc entry = module.entry();
    if (!entry) std::abort();
    return entry;
}

// Loading before the first input lets the fuzzer see the module's coverage.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PluginEntry();
    return 0;
}
