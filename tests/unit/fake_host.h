// An in-process host callback for the layer tests: answers a test sets, and a
// log of every request.
#pragma once

#include <vector>

#include "plugin/vst2/vst_abi.h"

struct FakeHost {
    struct Request {
        AEffect* effect;
        VstInt32 opcode;
        VstIntPtr value;
    };
    static inline VstIntPtr version = 2400;
    static inline bool giveTime = true;
    static inline VstTimeInfo time{};
    static inline VstIntPtr displayAnswer = 1;
    static inline std::vector<Request> log;

    static void Reset() {
        version = 2400;
        giveTime = true;
        time = VstTimeInfo{};
        displayAnswer = 1;
        log.clear();
    }

    static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr value, void*, float) {
        log.push_back({effect, opcode, value});
        switch (opcode) {
        case audioMasterVersion: return version;
        case audioMasterGetTime: return giveTime ? reinterpret_cast<VstIntPtr>(&time) : 0;
        case audioMasterUpdateDisplay: return displayAnswer;
        default: return 0;
        }
    }
};
