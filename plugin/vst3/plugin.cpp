// The object's life: creation, interfaces and references, initialize and
// terminate, and the state in and out of the host's streams.
#include "plugin/vst3/plugin.h"

#include <cstring>
#include <new>

namespace vst3_plugin {

// ---- the two meanings of setState and getState ----

vst3::tresult PLUGIN_API ComponentTable::setState(vst3::IBStream* state) {
    return static_cast<Plugin*>(this)->SetProcessorState(state);
}
vst3::tresult PLUGIN_API ComponentTable::getState(vst3::IBStream* state) {
    return static_cast<Plugin*>(this)->GetProcessorState(state);
}
vst3::tresult PLUGIN_API ControllerTable::setState(vst3::IBStream* state) {
    return static_cast<Plugin*>(this)->SetControllerState(state);
}
vst3::tresult PLUGIN_API ControllerTable::getState(vst3::IBStream* state) {
    return static_cast<Plugin*>(this)->GetControllerState(state);
}

// ---- creation and references (main thread) ----

Plugin* Plugin::Create() noexcept {
    try {
        auto* plugin = new (std::nothrow) Plugin;
        if (plugin && plugin->chunkSize_ > 0 && plugin->values_ && plugin->scratch_) return plugin;
        delete plugin;
    } catch (...) {}
    return nullptr;
}

Plugin::Plugin() {
    if (!brio_.effect) return;
    // The reset a VST 2.4 host's open runs, so that both modules start alike.
    if (brio_.callbacks.open) brio_.callbacks.open(&brio_);
    const std::int32_t sliders = BrioSliderCount(&brio_);
    parameterCount_ = sliders < 64 ? sliders : 64; // one bit each in a change mask
    // Saving once sizes the effect's chunk buffer, so that later loads and
    // saves on the audio thread never allocate.
    void* bytes = nullptr;
    const std::int32_t size = BrioSaveChunk(&brio_, &bytes);
    if (size <= 0 || !pending_.Allocate(size) || !published_.Allocate(size)) return;
    values_.reset(new (std::nothrow) std::atomic<double>[static_cast<std::size_t>(parameterCount_)]);
    scratch_.reset(new (std::nothrow) unsigned char[static_cast<std::size_t>(size)]);
    if (!values_ || !scratch_) return;
    chunkSize_ = size;
    Publish(~std::uint64_t{0});
}

Plugin::~Plugin() {
    // A host that skipped terminate still gets its objects back.
    if (handler_) handler_->release();
    if (context_) context_->release();
}

vst3::tresult PLUGIN_API Plugin::queryInterface(const vst3::TUID iid, void** obj) {
    if (!obj) return vst3::kInvalidArgument;
    *obj = nullptr;
    if (!iid) return vst3::kNoInterface;
    void* found = nullptr;
    if (vst3::FUnknown::iid.Is(iid)) found = static_cast<vst3::FUnknown*>(static_cast<vst3::IComponent*>(this));
    else if (vst3::IPluginBase::iid.Is(iid))
        found = static_cast<vst3::IPluginBase*>(static_cast<vst3::IComponent*>(this));
    else if (vst3::IComponent::iid.Is(iid)) found = static_cast<vst3::IComponent*>(this);
    else if (vst3::IAudioProcessor::iid.Is(iid)) found = static_cast<vst3::IAudioProcessor*>(this);
    else if (vst3::IEditController::iid.Is(iid)) found = static_cast<vst3::IEditController*>(this);
    else if (vst3::IProcessContextRequirements::iid.Is(iid))
        found = static_cast<vst3::IProcessContextRequirements*>(this);
    if (!found) return vst3::kNoInterface;
    addRef();
    *obj = found;
    return vst3::kResultOk;
}

vst3::uint32 PLUGIN_API Plugin::addRef() { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

vst3::uint32 PLUGIN_API Plugin::release() {
    const vst3::uint32 left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

// ---- initialize and terminate (main thread) ----

vst3::tresult PLUGIN_API Plugin::initialize(vst3::FUnknown* context) {
    if (initializeCount_.fetch_add(1, std::memory_order_acq_rel) > 0) return vst3::kResultOk;
    if (context) {
        context->addRef();
        context_ = context;
    }
    return vst3::kResultOk;
}

vst3::tresult PLUGIN_API Plugin::terminate() {
    int count = initializeCount_.load(std::memory_order_acquire);
    do {
        if (count == 0) return vst3::kResultFalse;
    } while (!initializeCount_.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel));
    if (count > 1) return vst3::kResultOk;
    setActive(0);
    setUp_.store(false, std::memory_order_release);
    if (handler_) handler_->release();
    handler_ = nullptr;
    if (context_) context_->release();
    context_ = nullptr;
    return vst3::kResultOk;
}

// ---- state (main thread) ----

bool Plugin::ReadState(vst3::IBStream* stream, std::int32_t* count) {
    if (!stream) return false;
    std::int32_t total = 0;
    while (total < chunkSize_) {
        vst3::int32 got = 0;
        if (stream->read(scratch_.get() + total, chunkSize_ - total, &got) != vst3::kResultOk || got <= 0) break;
        total += got < chunkSize_ - total ? got : chunkSize_ - total;
    }
    if (total < 4 || !BrioChunkHasMarker(scratch_.get(), static_cast<std::size_t>(total))) return false;
    BrioClampChunk(&brio_, scratch_.get(), total);
    *count = total;
    return true;
}

vst3::tresult Plugin::SetProcessorState(vst3::IBStream* stream) {
    if (!Initialized()) return vst3::kResultFalse;
    std::int32_t count = 0;
    if (!ReadState(stream, &count)) return vst3::kResultFalse;
    pending_.Post(scratch_.get(), count);
    // While processing, the next process call loads it; otherwise now.
    if (!processing_.load(std::memory_order_acquire)) {
        // Not got when called from inside process: the state then waits, as one loaded while processing does.
        OwnedScope held(owner_);
        if (held) TakePendingState();
    }
    return vst3::kResultOk;
}

vst3::tresult Plugin::GetProcessorState(vst3::IBStream* stream) {
    if (!Initialized()) return vst3::kResultFalse;
    if (!stream) return vst3::kInvalidArgument;
    std::int32_t size = published_.Read(scratch_.get());
    // A state still waiting for the audio thread is what the effect will
    // hold: its elements replace the published ones, as loading it will.
    std::int32_t waitingCount = 0;
    if (const unsigned char* waiting = pending_.Waiting(&waitingCount)) {
        const std::int32_t end = (waitingCount < size ? waitingCount : size) / 4 * 4;
        if (end > 4) std::memcpy(scratch_.get() + 4, waiting + 4, static_cast<std::size_t>(end - 4));
    }
    // Written at the stream's current position: hosts put their own header first.
    std::int32_t written = 0;
    while (written < size) {
        vst3::int32 count = 0;
        if (stream->write(scratch_.get() + written, size - written, &count) != vst3::kResultOk || count <= 0)
            return vst3::kResultFalse;
        written += count;
    }
    return vst3::kResultOk;
}

// Everything the controller shows is the processor's: it keeps nothing of its own.
vst3::tresult Plugin::SetControllerState(vst3::IBStream*) { return vst3::kResultOk; }
vst3::tresult Plugin::GetControllerState(vst3::IBStream*) { return vst3::kResultOk; }

// ---- the holder's work ----

void Plugin::TakePendingState() {
    const bool loaded = pending_.Take([this](unsigned char* bytes, std::int32_t count) {
        if (brio_.callbacks.setChunk) brio_.callbacks.setChunk(&brio_, bytes, count, false);
    });
    if (loaded) Publish(~std::uint64_t{0});
}

void Plugin::Publish(std::uint64_t changedParameters) {
    if (changedParameters == 0 || !brio_.callbacks.getParameter) return;
    for (std::int32_t k = 0; k < parameterCount_; ++k)
        if (changedParameters & (std::uint64_t{1} << k))
            values_[static_cast<std::size_t>(k)].store(brio_.callbacks.getParameter(&brio_, k),
                                                       std::memory_order_release);
    void* bytes = nullptr;
    const std::int32_t size = BrioSaveChunk(&brio_, &bytes);
    published_.Publish(bytes, size);
}

} // namespace vst3_plugin
