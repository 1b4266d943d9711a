// A VST 2.4 plug-in that records what its host tells it and has a latency and
// a tail, for the command-line host's tests. Two outputs; two inputs, or none
// when PROBE_INPUTS=0 (then it plays a ramp of period 1000 frames from resume).
// Each output is its input delayed by kDelay frames (reported as the initial
// delay once resumed), plus an echo every kEcho frames fed back by the one
// parameter, "echo" (0: none, 1: endless). At each suspend it appends to the
// file named by PROBE_LOG what the host answered; PROBE_SLEEP_US slows each
// processing call down by that many microseconds.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "plugin/vst2/vst_abi.h"

namespace {

constexpr int kDelay = 220, kEcho = 4410, kOutputs = 2, kMaxCalls = 1 << 16;

struct Call {
    int frames;
    double samplePos, sampleRate;
    VstInt32 flags;
    VstIntPtr level;
};

struct Probe {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    float feedback = 0.0f;
    int inputs = 2;
    unsigned sleepMicroseconds = 0;
    std::string logPath;
    std::vector<std::vector<float>> delay, echo;
    int delayAt = 0, echoAt = 0;
    long long position = 0;
    std::vector<Call> calls;
    std::string notes;

    VstIntPtr Ask(VstInt32 opcode) { return host(&effect, opcode, 0, 0, nullptr, 0.0f); }

    void Note(const char* what) {
        char line[128];
        std::snprintf(line, sizeof line, "%s rate=%ld block=%ld level=%ld\n", what,
                      static_cast<long>(Ask(audioMasterGetSampleRate)), static_cast<long>(Ask(audioMasterGetBlockSize)),
                      static_cast<long>(Ask(audioMasterGetCurrentProcessLevel)));
        notes += line;
    }

    void Flush() {
        if (logPath.empty()) return;
        FILE* log = std::fopen(logPath.c_str(), "a");
        if (!log) return;
        std::fputs(notes.c_str(), log);
        for (const Call& c : calls)
            std::fprintf(log, "process frames=%d pos=%.0f rate=%.0f flags=%d level=%ld\n", c.frames, c.samplePos,
                         c.sampleRate, c.flags, static_cast<long>(c.level));
        std::fclose(log);
        notes.clear();
        calls.clear();
    }

    void Resume() {
        delay.assign(kOutputs, std::vector<float>(kDelay, 0.0f));
        echo.assign(kOutputs, std::vector<float>(kEcho, 0.0f));
        delayAt = echoAt = 0;
        position = 0;
        effect.initialDelay = kDelay; // known only now, as with many real plug-ins
        Note("resume");
    }

    void Process(float** in, float** out, VstInt32 frames) {
        const auto* time = reinterpret_cast<const VstTimeInfo*>(host(&effect, audioMasterGetTime, 0, 0, nullptr, 0));
        if (calls.size() < kMaxCalls)
            calls.push_back({frames, time ? time->samplePos : -1.0, time ? time->sampleRate : -1.0,
                             time ? time->flags : -1, Ask(audioMasterGetCurrentProcessLevel)});
        if (sleepMicroseconds) usleep(sleepMicroseconds);
        for (VstInt32 n = 0; n < frames; ++n) {
            const float ramp = static_cast<float>(static_cast<double>((position + n) % 1000) * 0.001);
            for (int c = 0; c < kOutputs; ++c) {
                const float x = inputs ? in[c][n] : ramp;
                const float delayed = delay[c][delayAt];
                delay[c][delayAt] = x;
                const float y = delayed + feedback * echo[c][echoAt];
                echo[c][echoAt] = y;
                out[c][n] = y;
            }
            delayAt = (delayAt + 1) % kDelay;
            echoAt = (echoAt + 1) % kEcho;
        }
        position += frames;
    }
};

Probe* Of(AEffect* effect) { return static_cast<Probe*>(effect->object); }

void Text(void* ptr, const char* text) {
    if (ptr) std::snprintf(static_cast<char*>(ptr), kVstMaxParamStrLen, "%s", text);
}

VstIntPtr VSTCALLBACK Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float) {
    Probe* probe = Of(effect);
    switch (opcode) {
    case effClose:
        probe->Flush();
        delete probe;
        return 1;
    case effMainsChanged:
        if (value) probe->Resume();
        else probe->Flush();
        return 0;
    case effGetParamName: Text(index == 0 ? ptr : nullptr, "echo"); return 0;
    case effGetParamLabel: Text(ptr, ""); return 0;
    case effGetParamDisplay:
        if (ptr && index == 0) std::snprintf(static_cast<char*>(ptr), kVstMaxParamStrLen, "%.2f", probe->feedback);
        return 0;
    case effGetEffectName:
        if (ptr) std::snprintf(static_cast<char*>(ptr), kVstMaxEffectNameLen, "probe");
        return 1;
    case effGetVstVersion: return kVstVersion;
    default: return 0;
    }
}

void VSTCALLBACK ProcessReplacing(AEffect* effect, float** in, float** out, VstInt32 frames) {
    Of(effect)->Process(in, out, frames);
}

void VSTCALLBACK SetParameter(AEffect* effect, VstInt32 index, float value) {
    if (index == 0 && value >= 0.0f && value <= 1.0f) Of(effect)->feedback = value;
}

float VSTCALLBACK GetParameter(AEffect* effect, VstInt32 index) { return index == 0 ? Of(effect)->feedback : 0.0f; }

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    auto* probe = new Probe;
    probe->host = host;
    if (const char* log = std::getenv("PROBE_LOG")) probe->logPath = log;
    if (const char* inputs = std::getenv("PROBE_INPUTS")) probe->inputs = std::atoi(inputs) == 0 ? 0 : 2;
    if (const char* sleep = std::getenv("PROBE_SLEEP_US")) probe->sleepMicroseconds = std::atoi(sleep);
    AEffect& e = probe->effect;
    e.magic = kEffectMagic;
    e.dispatcher = Dispatch;
    e.setParameter = SetParameter;
    e.getParameter = GetParameter;
    e.processReplacing = ProcessReplacing;
    e.numParams = 1;
    e.numInputs = probe->inputs;
    e.numOutputs = kOutputs;
    e.flags = effFlagsCanReplacing;
    e.object = probe;
    e.uniqueID = 0x50726F62; // 'Prob'
    e.version = 1;
    probe->calls.reserve(kMaxCalls);
    probe->Note("entry");
    return &e;
}
