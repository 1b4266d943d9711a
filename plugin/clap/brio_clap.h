// CBrioClap: one CLAP instance of the crossfader. It owns a format instance
// of the core, answers the interface's calls through it, and keeps what the
// main thread may read while the audio thread processes in copies the audio
// thread publishes.
//
// Threads. The audio thread alone changes the effect while the plug-in is
// active (parameter events, and state loads it takes over from the main
// thread); while inactive the main thread does. The main thread's readers
// (get_value, state save) only ever read the published copies.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/brio_format.h"
#include "core/brio_instance.h"
#include "plugin/clap/clap_abi.h"
#include "plugin/clap/handover.h"

namespace brio_clap {

// The state chunk: the marker and the values of sliders 1 to 64, as floats.
// Bytes past it are never read, so a longer blob is kept to this size.
inline constexpr std::int32_t kChunkCapacity = 65 * 4;
inline constexpr std::uint32_t kParameterCapacity = 64;

} // namespace brio_clap

class CBrioClap {
public:
    // A new instance for the host, or null when memory runs out.
    static CBrioClap* Create(const clap_host* host, const clap_plugin_descriptor* descriptor) noexcept;
    // The instance behind a clap_plugin, or null for null and foreign records.
    static CBrioClap* From(const clap_plugin* plugin) noexcept;

    const clap_plugin* Plugin() const { return &plugin_; }

    // clap_plugin
    bool Init();
    void Destroy();
    bool Activate(double sampleRate, std::uint32_t minFrames, std::uint32_t maxFrames);
    void Deactivate();
    bool StartProcessing();
    void StopProcessing();
    clap_process_status Process(const clap_process* process);
    const void* Extension(const char* id) const;

    // "clap.params"
    std::uint32_t ParameterCount() const { return parameterCount_; }
    bool ParameterInfo(std::uint32_t index, clap_param_info* info) const;
    bool ParameterValue(clap_id id, double* value);
    bool ValueToText(clap_id id, double value, char* text, std::uint32_t capacity) const;
    bool TextToValue(clap_id id, const char* text, double* value) const;
    void Flush(const clap_input_events* events);

    // "clap.state"
    bool Save(const clap_ostream* stream);
    bool Load(const clap_istream* stream);

    // "clap.audio-ports", "clap.latency"
    std::uint32_t PortCount() const { return 1; }
    bool PortInfo(std::uint32_t index, bool isInput, clap_audio_port_info* info) const;
    std::uint32_t Latency() const { return latency_; }

private:
    CBrioClap(const clap_host* host, const clap_plugin_descriptor* descriptor);
    ~CBrioClap();

    // What the main thread reads: plain values and the chunk, as of the last change.
    struct Published {
        double values[brio_clap::kParameterCapacity];
        unsigned char chunk[brio_clap::kChunkCapacity];
        std::int32_t chunkSize;
        std::uint32_t loadGeneration; // the last state load these include
    };
    // A state load the main thread hands to the audio thread. The main thread
    // writes it only while it is empty; the audio thread reads it while taken.
    struct PendingLoad {
        unsigned char bytes[brio_clap::kChunkCapacity];
        std::int32_t size;
        std::uint32_t generation;
    };
    enum : int { kPendingEmpty, kPendingReady, kPendingTaken };

    // Writer side (audio thread while active, main thread while not).
    // Parameters as a mask, one bit each: which ones a call changed.
    static constexpr std::uint64_t kAllParameters = ~std::uint64_t{0};
    void ReadChunk();
    void Publish(std::uint64_t changed = kAllParameters);
    // Restores a load the main thread queued, if there is one; when there is
    // none, as in nearly every process call, that costs one plain load.
    bool TakePendingLoad() {
        return pendingState_.load(std::memory_order_relaxed) == kPendingReady && LoadPending();
    }
    bool LoadPending();
    std::uint64_t ApplyParameterEvent(const clap_event_header* header);
    template <class Sample>
    std::uint64_t Run(Sample** inputs, Sample** outputs, std::int32_t frames, const clap_input_events* events);

    // Main thread.
    void QueueLoad(const unsigned char* bytes, std::int32_t size);
    std::int32_t CurrentChunk(unsigned char* bytes);
    void RescanValues() const;

    static constexpr std::uint32_t kMagic = 0x43424331u;
    std::uint32_t magic_ = kMagic;
    clap_plugin plugin_{};
    const clap_host* host_;
    const clap_host_params* hostParams_ = nullptr;
    BrioFormatInstance brio_;
    std::uint32_t parameterCount_ = 0;
    BrioSliderFacts facts_[brio_clap::kParameterCapacity]{}; // read-only once built

    std::atomic<bool> initialised_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> processing_{false};
    std::uint32_t latency_ = 0;

    brio_clap::TripleBuffer<Published> published_;
    // Writer side: the values and the chunk as of the last change, and the last load they include.
    double values_[brio_clap::kParameterCapacity]{};
    unsigned char chunk_[brio_clap::kChunkCapacity]{};
    std::int32_t chunkSize_ = 0;
    std::uint32_t appliedGeneration_ = 0;

    PendingLoad pending_{};
    std::atomic<int> pendingState_{kPendingEmpty};
    static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
    std::uint32_t requestedGeneration_ = 0; // main thread
};
