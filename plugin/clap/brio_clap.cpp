#include "plugin/clap/brio_clap.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <thread>

#include "core/brio_format.h"
#include "core/text_copy.h"
#include "plugin/clap/extensions.h"
#include "plugin/clap/transport.h"

using brio_clap::kChunkCapacity;

namespace {

// ---- the clap_plugin table: each entry finds its instance or answers neutrally ----

bool CLAP_ABI PluginInit(const clap_plugin* plugin) noexcept {
    CBrioClap* self = CBrioClap::From(plugin);
    return self && self->Init();
}

void CLAP_ABI PluginDestroy(const clap_plugin* plugin) noexcept {
    if (CBrioClap* self = CBrioClap::From(plugin)) self->Destroy();
}

bool CLAP_ABI PluginActivate(const clap_plugin* plugin, double sampleRate, std::uint32_t minFrames,
                             std::uint32_t maxFrames) noexcept {
    CBrioClap* self = CBrioClap::From(plugin);
    return self && self->Activate(sampleRate, minFrames, maxFrames);
}

void CLAP_ABI PluginDeactivate(const clap_plugin* plugin) noexcept {
    if (CBrioClap* self = CBrioClap::From(plugin)) self->Deactivate();
}

bool CLAP_ABI PluginStartProcessing(const clap_plugin* plugin) noexcept {
    CBrioClap* self = CBrioClap::From(plugin);
    return self && self->StartProcessing();
}

void CLAP_ABI PluginStopProcessing(const clap_plugin* plugin) noexcept {
    if (CBrioClap* self = CBrioClap::From(plugin)) self->StopProcessing();
}

// The mix keeps nothing from one frame to the next: there is no memory to clear.
void CLAP_ABI PluginReset(const clap_plugin*) noexcept {}

clap_process_status CLAP_ABI PluginProcess(const clap_plugin* plugin, const clap_process* process) noexcept {
    CBrioClap* self = CBrioClap::From(plugin);
    return self ? self->Process(process) : CLAP_PROCESS_ERROR;
}

const void* CLAP_ABI PluginGetExtension(const clap_plugin* plugin, const char* id) noexcept {
    const CBrioClap* self = CBrioClap::From(plugin);
    return self ? self->Extension(id) : nullptr;
}

// The plug-in never asks for a main-thread callback.
void CLAP_ABI PluginOnMainThread(const clap_plugin*) noexcept {}

// Chunk element n carries slider number n, and parameter k is slider number k + 1.
std::int32_t ChunkOffset(std::uint32_t parameter) { return static_cast<std::int32_t>((parameter + 1) * 4); }

// What a host may be told: finite, inside the slider's range.
double InRange(double value, const BrioSliderFacts& facts) {
    if (!std::isfinite(value)) return facts.defaultValue;
    return value < facts.minimum ? facts.minimum : value > facts.maximum ? facts.maximum : value;
}

bool IsWhole(double value) { return std::isfinite(value) && std::floor(value) == value; }

// The header of a PARAM_VALUE event long enough to hold its value, copied:
// the host's event memory need not be aligned for the fields it holds.
bool ParameterValueHeader(const clap_event_header* event, clap_event_header* header) {
    if (!event) return false;
    std::memcpy(header, event, sizeof *header);
    return header->space_id == CLAP_CORE_EVENT_SPACE_ID && header->type == CLAP_EVENT_PARAM_VALUE &&
           header->size >= sizeof(clap_event_param_value);
}

std::uint32_t EventCount(const clap_input_events* events) {
    return events && events->size && events->get ? events->size(events) : 0;
}

template <class Sample>
bool HasTwoChannels(const clap_audio_buffer* buffer, Sample** channels) {
    return buffer && buffer->channel_count >= 2 && channels && channels[0] && channels[1];
}

template <class Sample>
void Silence(Sample** channels, std::int32_t frames) {
    for (int c = 0; c < 2; ++c) std::memset(channels[c], 0, sizeof(Sample) * static_cast<std::size_t>(frames));
}

// Bytes past the chunk are read and dropped up to this many, so that a stream
// error anywhere in a blob of sane size still fails the load.
constexpr std::int64_t kLoadLimit = std::int64_t{1} << 20;

} // namespace

// ---- construction ----

CBrioClap* CBrioClap::Create(const clap_host* host, const clap_plugin_descriptor* descriptor) noexcept {
    try {
        CBrioClap* self = new CBrioClap(host, descriptor);
        if (!self->brio_.effect) {
            delete self;
            return nullptr;
        }
        return self;
    } catch (...) {
        return nullptr;
    }
}

CBrioClap* CBrioClap::From(const clap_plugin* plugin) noexcept {
    if (!plugin || !plugin->plugin_data) return nullptr;
    auto* self = static_cast<CBrioClap*>(plugin->plugin_data);
    return self->magic_ == kMagic && &self->plugin_ == plugin ? self : nullptr;
}

CBrioClap::CBrioClap(const clap_host* host, const clap_plugin_descriptor* descriptor) : host_(host) {
    plugin_.desc = descriptor;
    plugin_.plugin_data = this;
    plugin_.init = PluginInit;
    plugin_.destroy = PluginDestroy;
    plugin_.activate = PluginActivate;
    plugin_.deactivate = PluginDeactivate;
    plugin_.start_processing = PluginStartProcessing;
    plugin_.stop_processing = PluginStopProcessing;
    plugin_.reset = PluginReset;
    plugin_.process = PluginProcess;
    plugin_.get_extension = PluginGetExtension;
    plugin_.on_main_thread = PluginOnMainThread;
    if (!brio_.effect) return;
    const std::int32_t sliders = BrioSliderCount(&brio_);
    for (std::int32_t k = 0; k < sliders && parameterCount_ < brio_clap::kParameterCapacity; ++k)
        if (BrioGetSliderFacts(&brio_, k, &facts_[parameterCount_])) ++parameterCount_;
    // A VST 2.4 host opens the effect once after creating it; so do we, for the same start.
    if (brio_.callbacks.open) brio_.callbacks.open(&brio_);
    ReadChunk();
    Publish();
}

CBrioClap::~CBrioClap() { magic_ = 0; }

// ---- lifecycle (main thread unless marked) ----

bool CBrioClap::Init() {
    if (initialised_.load(std::memory_order_acquire)) return false; // a second init is out of order
    if (host_ && host_->get_extension)
        hostParams_ = static_cast<const clap_host_params*>(host_->get_extension(host_, CLAP_EXT_PARAMS));
    initialised_.store(true, std::memory_order_release);
    return true;
}

void CBrioClap::Destroy() {
    // A host that destroys an active instance has stopped its audio thread first, or nothing helps.
    processing_.store(false, std::memory_order_release);
    Deactivate();
    if (brio_.callbacks.close) brio_.callbacks.close(&brio_);
    delete this;
}

bool CBrioClap::Activate(double sampleRate, std::uint32_t minFrames, std::uint32_t maxFrames) {
    if (!initialised_.load(std::memory_order_acquire) || active_.load(std::memory_order_acquire)) return false;
    // NaN fails both comparisons; the effect keeps its rate as a float.
    if (!(sampleRate > 0.0) || !(sampleRate <= std::numeric_limits<float>::max())) return false;
    if (maxFrames == 0 || minFrames > maxFrames ||
        maxFrames > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return false;
    brio_.sampleRate = static_cast<float>(sampleRate);
    brio_.blockSize = static_cast<std::int32_t>(maxFrames);
    brio_.transport = {};
    if (brio_.callbacks.resume) brio_.callbacks.resume(&brio_);
    // Saving once brings the chunk's stream to its full size, so that the
    // audio thread's loads reuse it without allocating.
    ReadChunk();
    Publish();
    latency_ = brio_.initialDelay > 0 ? static_cast<std::uint32_t>(brio_.initialDelay) : 0;
    active_.store(true, std::memory_order_release);
    return true;
}

void CBrioClap::Deactivate() {
    if (!active_.load(std::memory_order_acquire) || processing_.load(std::memory_order_acquire)) return;
    active_.store(false, std::memory_order_release);
    // A load the audio thread never took is restored now, before the values are read again.
    if (TakePendingLoad()) Publish();
    if (brio_.callbacks.suspend) brio_.callbacks.suspend(&brio_);
}

// Audio thread.
bool CBrioClap::StartProcessing() {
    if (!active_.load(std::memory_order_acquire)) return false;
    bool stopped = false;
    return processing_.compare_exchange_strong(stopped, true, std::memory_order_acq_rel);
}

// Audio thread.
void CBrioClap::StopProcessing() { processing_.store(false, std::memory_order_release); }

const void* CBrioClap::Extension(const char* id) const {
    if (!id || !initialised_.load(std::memory_order_acquire)) return nullptr;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &brio_clap::kParamsExtension;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &brio_clap::kStateExtension;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &brio_clap::kAudioPortsExtension;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &brio_clap::kLatencyExtension;
    return nullptr;
}

// ---- processing (audio thread): no allocation, no lock ----

clap_process_status CBrioClap::Process(const clap_process* process) {
    if (!process || !processing_.load(std::memory_order_acquire)) return CLAP_PROCESS_ERROR;
    if (process->frames_count > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return CLAP_PROCESS_ERROR;
    const auto frames = static_cast<std::int32_t>(process->frames_count);
    std::uint64_t changed = TakePendingLoad() ? kAllParameters : 0;
    brio_.transport = brio_clap::MapTransport(process->transport);

    const clap_audio_buffer* input = process->audio_inputs_count > 0 ? process->audio_inputs : nullptr;
    clap_audio_buffer* output = process->audio_outputs_count > 0 ? process->audio_outputs : nullptr;
    float** in32 = input ? input->data32 : nullptr;
    double** in64 = input ? input->data64 : nullptr;
    float** out32 = output ? output->data32 : nullptr;
    double** out64 = output ? output->data64 : nullptr;
    clap_process_status status = CLAP_PROCESS_CONTINUE;
    if (HasTwoChannels(input, in64) && HasTwoChannels(output, out64)) {
        changed |= Run(in64, out64, frames, process->in_events);
    } else if (HasTwoChannels(input, in32) && HasTwoChannels(output, out32)) {
        changed |= Run(in32, out32, frames, process->in_events);
    } else {
        // Without both ports at one width there is no audio to run, but the
        // block's parameter changes still count; what can be written is silence.
        changed |= Run<float>(nullptr, nullptr, frames, process->in_events);
        if (HasTwoChannels(output, out32)) Silence(out32, frames);
        if (HasTwoChannels(output, out64)) Silence(out64, frames);
        status = CLAP_PROCESS_ERROR;
    }
    if (output) output->constant_mask = 0;
    if (changed) Publish(changed);
    return status;
}

// The block section once, then the frames up to each parameter event, the
// change, and on: a change takes effect from its own frame.
template <class Sample>
[[gnu::always_inline]] inline std::uint64_t CBrioClap::Run(Sample** inputs, Sample** outputs, std::int32_t frames,
                                                           const clap_input_events* events) {
    std::uint64_t changed = 0;
    bool runBlock = true;
    std::int32_t done = 0;
    const std::uint32_t count = EventCount(events);
    for (std::uint32_t i = 0; i < count; ++i) {
        const clap_event_header* event = events->get(events, i);
        clap_event_header header;
        if (!ParameterValueHeader(event, &header)) continue;
        // Events come sorted and inside the block; one that does not is applied
        // at the first frame still to come, or after the last.
        const std::int32_t at =
            header.time < static_cast<std::uint32_t>(frames) ? static_cast<std::int32_t>(header.time) : frames;
        if (at > done) {
            BrioProcessRange(&brio_, inputs, outputs, done, at, runBlock);
            runBlock = false;
            done = at;
        }
        changed |= ApplyParameterEvent(event);
    }
    if (runBlock) BrioProcessWhole(&brio_, inputs, outputs, frames);
    else BrioProcessRange(&brio_, inputs, outputs, done, frames, false);
    return changed;
}

// Writer side. The value reaches the effect by the newer formats' rule:
// non-finite ignored, clamped, narrowed to float, rounded to the slider's step.
std::uint64_t CBrioClap::ApplyParameterEvent(const clap_event_header* header) {
    clap_event_header copy;
    if (!ParameterValueHeader(header, &copy)) return 0;
    clap_event_param_value event;
    std::memcpy(&event, header, sizeof event);
    if (event.param_id >= parameterCount_) return 0;
    BrioSetPlain(&brio_, static_cast<std::int32_t>(event.param_id), event.value);
    return std::uint64_t{1} << event.param_id;
}

// Writer side: the effect's chunk as slot 27 writes it, after a load; called
// only where the chunk's stream already has its full size.
void CBrioClap::ReadChunk() {
    void* data = nullptr;
    std::int32_t size = BrioSaveChunk(&brio_, &data);
    if (!data || size < 0) size = 0;
    if (size > kChunkCapacity) size = kChunkCapacity;
    if (size > 0) std::memcpy(chunk_, data, static_cast<std::size_t>(size));
    chunkSize_ = size;
}

// Writer side. A parameter change alters only its own value and its own
// chunk element, which is written here as slot 27 writes it, at a fraction
// of a whole save's cost.
void CBrioClap::Publish(std::uint64_t changed) {
    for (std::uint32_t k = 0; k < parameterCount_; ++k) {
        if (!(changed & (std::uint64_t{1} << k))) continue;
        const double value = BrioSliderValue(&brio_, static_cast<std::int32_t>(k));
        values_[k] = InRange(value, facts_[k]);
        const float element = static_cast<float>(value);
        if (ChunkOffset(k) + 4 <= chunkSize_) std::memcpy(chunk_ + ChunkOffset(k), &element, sizeof element);
    }
    Published& next = published_.back();
    std::memcpy(next.values, values_, sizeof(double) * parameterCount_);
    std::memcpy(next.chunk, chunk_, static_cast<std::size_t>(chunkSize_));
    next.chunkSize = chunkSize_;
    next.loadGeneration = appliedGeneration_;
    published_.publish();
}

// Writer side: takes the queued load and restores it.
bool CBrioClap::LoadPending() {
    int ready = kPendingReady;
    if (!pendingState_.compare_exchange_strong(ready, kPendingTaken, std::memory_order_acquire,
                                               std::memory_order_relaxed))
        return false;
    if (brio_.callbacks.setChunk) brio_.callbacks.setChunk(&brio_, pending_.bytes, pending_.size, false);
    appliedGeneration_ = pending_.generation;
    pendingState_.store(kPendingEmpty, std::memory_order_release);
    ReadChunk();
    return true;
}

// ---- parameters (main thread, flush on the writer side) ----

bool CBrioClap::ParameterInfo(std::uint32_t index, clap_param_info* info) const {
    if (index >= parameterCount_ || !info) return false;
    const BrioSliderFacts& facts = facts_[index];
    std::memset(info, 0, sizeof *info);
    info->id = index;
    info->flags = CLAP_PARAM_IS_AUTOMATABLE;
    // Stepped means whole numbers to a host; a slider with a fractional step
    // is continuous to it and quantised inside the effect.
    if (facts.step >= 1.0 && IsWhole(facts.step) && IsWhole(facts.minimum) && IsWhole(facts.maximum)) {
        info->flags |= CLAP_PARAM_IS_STEPPED;
        if (facts.enumNames && !facts.enumNames->empty()) info->flags |= CLAP_PARAM_IS_ENUM;
    }
    if (facts.name) CopyText(info->name, *facts.name, CLAP_NAME_SIZE);
    info->min_value = facts.minimum;
    info->max_value = facts.maximum;
    info->default_value = facts.defaultValue;
    return true;
}

bool CBrioClap::ParameterValue(clap_id id, double* value) {
    if (id >= parameterCount_ || !value) return false;
    const Published& now = published_.read();
    double plain = now.values[id];
    // A load not yet taken by the audio thread: the value it will restore.
    if (now.loadGeneration != requestedGeneration_ && pending_.size >= ChunkOffset(id) + 4) {
        float element;
        std::memcpy(&element, pending_.bytes + ChunkOffset(id), sizeof element);
        plain = InRange(element, facts_[id]);
    }
    *value = plain;
    return true;
}

// The VST 2.4 display text of the value itself.
bool CBrioClap::ValueToText(clap_id id, double value, char* text, std::uint32_t capacity) const {
    if (id >= parameterCount_ || !text || capacity == 0 || !std::isfinite(value)) return false;
    try {
        return BrioFormatValue(&brio_, static_cast<std::int32_t>(id), value, text, capacity);
    } catch (...) {
        return false;
    }
}

bool CBrioClap::TextToValue(clap_id id, const char* text, double* value) const {
    if (id >= parameterCount_ || !text || !value) return false;
    double plain = 0.0;
    try {
        if (!BrioParseValue(&brio_, static_cast<std::int32_t>(id), text, &plain)) return false;
    } catch (...) {
        return false;
    }
    *value = InRange(plain, facts_[id]);
    return true;
}

// Writer side: the audio thread while active, the main thread while not.
void CBrioClap::Flush(const clap_input_events* events) {
    std::uint64_t changed = active_.load(std::memory_order_acquire) && TakePendingLoad() ? kAllParameters : 0;
    const std::uint32_t count = EventCount(events);
    for (std::uint32_t i = 0; i < count; ++i) changed |= ApplyParameterEvent(events->get(events, i));
    if (changed) Publish(changed);
}

void CBrioClap::RescanValues() const {
    if (hostParams_ && hostParams_->rescan) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
}

// ---- state (main thread) ----

std::int32_t CBrioClap::CurrentChunk(unsigned char* bytes) {
    const Published& now = published_.read();
    std::memcpy(bytes, now.chunk, static_cast<std::size_t>(now.chunkSize));
    // A load not yet taken by the audio thread: what it will restore. Element 0 is the marker in both.
    if (now.loadGeneration != requestedGeneration_) {
        const std::int32_t end = pending_.size < now.chunkSize ? pending_.size : now.chunkSize;
        if (end > 4) std::memcpy(bytes + 4, pending_.bytes + 4, static_cast<std::size_t>(end - 4));
    }
    return now.chunkSize;
}

bool CBrioClap::Save(const clap_ostream* stream) {
    if (!stream || !stream->write) return false;
    unsigned char bytes[kChunkCapacity];
    const std::int32_t size = CurrentChunk(bytes);
    if (size <= 0) return false;
    std::int32_t written = 0;
    while (written < size) {
        const std::int64_t taken = stream->write(stream, bytes + written, static_cast<std::uint64_t>(size - written));
        // An error, or a stream that takes nothing and would keep us here for ever.
        if (taken <= 0 || taken > size - written) return false;
        written += static_cast<std::int32_t>(taken);
    }
    return true;
}

bool CBrioClap::Load(const clap_istream* stream) {
    if (!stream || !stream->read) return false;
    unsigned char bytes[kChunkCapacity];
    unsigned char past[256];
    std::int32_t kept = 0;
    std::int64_t total = 0;
    while (total < kLoadLimit) {
        unsigned char* into = kept < kChunkCapacity ? bytes + kept : past;
        const std::uint64_t room = kept < kChunkCapacity ? kChunkCapacity - kept : sizeof past;
        const std::int64_t got = stream->read(stream, into, room);
        if (got == 0) break;
        if (got < 0 || static_cast<std::uint64_t>(got) > room) return false;
        if (kept < kChunkCapacity) kept += static_cast<std::int32_t>(got);
        total += got;
    }
    if (kept < 4 || !BrioChunkHasMarker(bytes, static_cast<std::size_t>(kept))) return false;
    kept -= kept % 4; // the effect reads whole floats only
    BrioClampChunk(&brio_, bytes, kept);
    ++requestedGeneration_;
    if (active_.load(std::memory_order_acquire)) {
        QueueLoad(bytes, kept);
    } else {
        try {
            if (brio_.callbacks.setChunk) brio_.callbacks.setChunk(&brio_, bytes, kept, false);
        } catch (...) {
            return false;
        }
        appliedGeneration_ = requestedGeneration_;
        ReadChunk();
        Publish();
    }
    RescanValues();
    return true;
}

// Hands a load to the audio thread. One still waiting is merged with it, as
// if both were restored in turn: the newer bytes over the older ones.
void CBrioClap::QueueLoad(const unsigned char* bytes, std::int32_t size) {
    bool merge = false;
    for (;;) {
        int state = pendingState_.load(std::memory_order_acquire);
        if (state == kPendingEmpty) break;
        if (state == kPendingReady) {
            if (pendingState_.compare_exchange_strong(state, kPendingEmpty, std::memory_order_acquire)) {
                merge = true;
                break;
            }
            continue;
        }
        std::this_thread::yield(); // the audio thread is restoring the previous load: a few microseconds
    }
    std::memcpy(pending_.bytes, bytes, static_cast<std::size_t>(size));
    pending_.size = merge && pending_.size > size ? pending_.size : size;
    pending_.generation = requestedGeneration_;
    pendingState_.store(kPendingReady, std::memory_order_release);
}

// ---- audio ports ----

bool CBrioClap::PortInfo(std::uint32_t index, bool isInput, clap_audio_port_info* info) const {
    if (index != 0 || !info) return false;
    std::memset(info, 0, sizeof *info);
    info->id = 0;
    // Channel 0 of the input is mono 1 and channel 1 mono 2; both outputs carry the mix.
    CopyText(info->name, isInput ? "mono 1 / mono 2" : "mix", CLAP_NAME_SIZE);
    info->flags =
        CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS | CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE;
    const std::int32_t channels = isInput ? brio_.numInputs : brio_.numOutputs;
    info->channel_count = channels > 0 ? static_cast<std::uint32_t>(channels) : 0;
    info->port_type = channels == 2 ? CLAP_PORT_STEREO : nullptr;
    info->in_place_pair = 0;
    return true;
}
