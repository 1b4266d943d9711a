// A small VST 2.4 host: loads a module, answers the plug-in's requests as a
// test or tool sets them, records every request, and drives an instance
// through its AEffect only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/vst2/vst_abi.h"

namespace vsthost {

// audioMasterGetCurrentProcessLevel's answer for a host rendering offline.
inline constexpr VstIntPtr kProcessLevelOffline = 4;

class Module {
public:
    explicit Module(const std::string& path);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool ok() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }
    void* symbol(const char* name) const;
    // VSTPluginMain, or main when the module has only that; null when neither.
    VstPluginMainProc entry() const;

private:
    void* handle_ = nullptr;
    std::string error_;
};

struct HostRequest {
    bool withEffect; // false for requests made before the record existed
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

// The host side of one instance: its answers and its request log.
class Host {
public:
    Host();

    VstIntPtr versionAnswer = kVstVersion;
    bool provideTime = true; // false: audioMasterGetTime answers null
    VstTimeInfo time{};
    VstIntPtr updateDisplayAnswer = 1;
    bool logRequests = true;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 512;
    VstIntPtr processLevel = 0; // audioMasterGetCurrentProcessLevel's answer
    std::vector<HostRequest> requests;

    // Calls the entry point with this host's callback; the record or null.
    AEffect* instantiate(VstPluginMainProc entry);

    // Requests with the given opcode, in order.
    std::vector<HostRequest> requestsFor(VstInt32 opcode) const;

    static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                          float opt);

private:
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
};

// One plug-in instance, closed on destruction unless closed before.
class Instance {
public:
    Instance(AEffect* effect, Host& host) : effect_(effect), host_(&host) {}
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    AEffect* effect() const { return effect_; }
    Host& host() const { return *host_; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    void open() { dispatch(effOpen); }
    void resume() { dispatch(effMainsChanged, 0, 1); }
    void suspend() { dispatch(effMainsChanged, 0, 0); }
    void setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
    void setBlockSize(VstInt32 frames) { dispatch(effSetBlockSize, 0, frames); }
    // Opens, sets rate and block size and resumes, as a host does before processing.
    void start(float rate = 44100.0f, VstInt32 frames = 512);
    VstIntPtr close();

    void setParameter(VstInt32 index, float value) { effect_->setParameter(effect_, index, value); }
    float getParameter(VstInt32 index) { return effect_->getParameter(effect_, index); }

    // Text requests, read from a buffer larger than any bound.
    std::string text(VstInt32 opcode, VstInt32 index = 0);
    std::string parameterName(VstInt32 index) { return text(effGetParamName, index); }
    std::string parameterLabel(VstInt32 index) { return text(effGetParamLabel, index); }
    std::string parameterDisplay(VstInt32 index) { return text(effGetParamDisplay, index); }

    void process(float** inputs, float** outputs, VstInt32 frames) {
        effect_->processReplacing(effect_, inputs, outputs, frames);
    }
    void processDouble(double** inputs, double** outputs, VstInt32 frames) {
        effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
    }
    // Whole channels: inputs and outputs as vectors of channel vectors.
    void process(std::vector<std::vector<float>>& inputs, std::vector<std::vector<float>>& outputs);
    void processDouble(std::vector<std::vector<double>>& inputs, std::vector<std::vector<double>>& outputs);

    std::vector<std::uint8_t> getChunk(bool isPreset = false);
    VstIntPtr setChunk(const std::vector<std::uint8_t>& bytes, bool isPreset = false);

private:
    AEffect* effect_;
    Host* host_;
};

} // namespace vsthost
