// The format-neutral half of every wrapper: the effect it owns, its copy of
// the callback table, and (in BrioFormatInstance) answers to the effect's
// host services from values the wrapper stores, for the formats whose host
// hands its state to the plug-in rather than answering questions.
#pragma once

#include <cstdint>

#include "core/brio_table.h"
#include "runtime/brio_host.h"

class TQuill;

class BrioInstance : public BrioHost {
public:
    TQuill* effect = nullptr; // owned; table slot 1 deletes it
    BrioCallbackTable callbacks{};

    // Which part of the current host call slots 25 and 26 process. A plain
    // call processes every frame after one block section; BrioProcessRange
    // sets these for the parts of a call split at parameter changes.
    struct Segment {
        std::int32_t firstFrame = 0;
        bool runBlock = true;
    } segment;
};

// Time as a host hands it to one processing call; present is false when the
// host gave none, and then the effect behaves as with a VST 2.4 host that
// answers no time record.
struct BrioTransport {
    bool present = false;
    bool playing = false;
    bool recording = false;
    double tempo = 0.0;
    double numerator = 0.0;
    double denominator = 0.0;
    double ppqPos = 0.0; // quarter notes
};

class BrioFormatInstance : public BrioInstance {
public:
    // Creates the crossfader, fills the table and runs slot 0. On failure
    // (no memory) effect stays null and every other call is a no-op.
    BrioFormatInstance();
    ~BrioFormatInstance() override; // slot 1
    BrioFormatInstance(const BrioFormatInstance&) = delete;
    BrioFormatInstance& operator=(const BrioFormatInstance&) = delete;

    // Set by the wrapper: sample rate and block size before a resume, the
    // transport before each processing call (audio thread).
    float sampleRate = 44100.0f;
    std::int32_t blockSize = 1024;
    BrioTransport transport;

    // Set by the effect through the services.
    std::int32_t numInputs = 0;
    std::int32_t numOutputs = 0;
    std::int32_t uniqueId = 0;
    std::int32_t initialDelay = 0;
    bool programsAreChunks = false;

    std::int32_t GetNumInputs() override { return numInputs; }
    void SetNumInputs(std::int32_t count) override { numInputs = count; }
    void SetNumOutputs(std::int32_t count) override { numOutputs = count; }
    void SetUniqueID(std::int32_t id) override { uniqueId = id; }
    void ProgramsAreChunks(bool on) override { programsAreChunks = on; }
    float GetSampleRate() override { return sampleRate; }
    std::int32_t GetBlockSize() override { return blockSize; }
    double GetTempo() override { return transport.present ? transport.tempo : 0.0; }
    std::int32_t IsPlaying() override { return transport.present && transport.playing ? 1 : 0; }
    std::int32_t IsRecording() override { return transport.present && transport.recording ? 1 : 0; }
    double GetPpqPos() override { return transport.present ? transport.ppqPos : 0.0; }
    std::int32_t GetTempoAndSignature(double* tempo, double* numerator, double* denominator) override;
    // None of the newer formats' hosts needs telling: they read parameter values when they draw.
    std::int32_t UpdateDisplay() override { return 0; }
    void SetInitialDelay(std::int32_t samples) override { initialDelay = samples; }
};
