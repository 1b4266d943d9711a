// The crossfader as one VST3 object: component, audio processor and edit
// controller at once, holding the effect through the format-neutral core.
//
// Threads. Main-thread calls (setup, state, controller) and the audio
// thread's process share the effect through EffectOwner: whoever changes the
// effect holds it, and the audio thread never waits for it. What other
// threads read while the audio thread runs (parameter values, the chunk) comes
// from copies the holder publishes atomically.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/brio_format.h"
#include "plugin/vst3/handover.h"
#include "plugin/vst3/parameter_changes.h"
#include "plugin/vst3/vst3_abi.h"

namespace vst3_plugin {

// IComponent and IEditController declare setState and getState alike; these
// two bases give each table's entries their own meaning (the processor's
// state, and the controller's, which is empty).
class ComponentTable : public vst3::IComponent {
public:
    vst3::tresult PLUGIN_API setState(vst3::IBStream* state) final;
    vst3::tresult PLUGIN_API getState(vst3::IBStream* state) final;
};

class ControllerTable : public vst3::IEditController {
public:
    vst3::tresult PLUGIN_API setState(vst3::IBStream* state) final;
    vst3::tresult PLUGIN_API getState(vst3::IBStream* state) final;
};

class Plugin final : public ComponentTable,
                     public vst3::IAudioProcessor,
                     public ControllerTable,
                     public vst3::IProcessContextRequirements {
public:
    // A new object with one reference, the caller's; null when memory runs out.
    static Plugin* Create() noexcept;

    // FUnknown, every table.
    vst3::tresult PLUGIN_API queryInterface(const vst3::TUID iid, void** obj) override;
    vst3::uint32 PLUGIN_API addRef() override;
    vst3::uint32 PLUGIN_API release() override;

    // IPluginBase, both tables: a host may initialize the one object as
    // component and as controller; the last terminate ends it.
    vst3::tresult PLUGIN_API initialize(vst3::FUnknown* context) override;
    vst3::tresult PLUGIN_API terminate() override;

    // IComponent (component.cpp).
    vst3::tresult PLUGIN_API getControllerClassId(vst3::TUID classId) override;
    vst3::tresult PLUGIN_API setIoMode(vst3::IoMode mode) override;
    vst3::int32 PLUGIN_API getBusCount(vst3::MediaType type, vst3::BusDirection dir) override;
    vst3::tresult PLUGIN_API getBusInfo(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                        vst3::BusInfo* bus) override;
    vst3::tresult PLUGIN_API getRoutingInfo(vst3::RoutingInfo* inInfo, vst3::RoutingInfo* outInfo) override;
    vst3::tresult PLUGIN_API activateBus(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                         vst3::TBool state) override;
    vst3::tresult PLUGIN_API setActive(vst3::TBool state) override;

    // IAudioProcessor (component.cpp).
    vst3::tresult PLUGIN_API setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 numIns,
                                                vst3::SpeakerArrangement* outputs, vst3::int32 numOuts) override;
    vst3::tresult PLUGIN_API getBusArrangement(vst3::BusDirection dir, vst3::int32 index,
                                               vst3::SpeakerArrangement* arr) override;
    vst3::tresult PLUGIN_API canProcessSampleSize(vst3::int32 symbolicSampleSize) override;
    vst3::uint32 PLUGIN_API getLatencySamples() override;
    vst3::tresult PLUGIN_API setupProcessing(vst3::ProcessSetup* setup) override;
    vst3::tresult PLUGIN_API setProcessing(vst3::TBool state) override;
    vst3::tresult PLUGIN_API process(vst3::ProcessData* data) override;
    vst3::uint32 PLUGIN_API getTailSamples() override;

    // IProcessContextRequirements.
    vst3::uint32 PLUGIN_API getProcessContextRequirements() override;

    // IEditController (controller.cpp).
    vst3::tresult PLUGIN_API setComponentState(vst3::IBStream* state) override;
    vst3::int32 PLUGIN_API getParameterCount() override;
    vst3::tresult PLUGIN_API getParameterInfo(vst3::int32 paramIndex, vst3::ParameterInfo* info) override;
    vst3::tresult PLUGIN_API getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                   vst3::String128 string) override;
    vst3::tresult PLUGIN_API getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                   vst3::ParamValue* valueNormalized) override;
    vst3::ParamValue PLUGIN_API normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue valueNormalized) override;
    vst3::ParamValue PLUGIN_API plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plainValue) override;
    vst3::ParamValue PLUGIN_API getParamNormalized(vst3::ParamID id) override;
    vst3::tresult PLUGIN_API setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::tresult PLUGIN_API setComponentHandler(vst3::IComponentHandler* handler) override;
    vst3::IPlugView* PLUGIN_API createView(vst3::FIDString name) override;

    // The two meanings of setState and getState.
    vst3::tresult SetProcessorState(vst3::IBStream* stream);
    vst3::tresult GetProcessorState(vst3::IBStream* stream);
    vst3::tresult SetControllerState(vst3::IBStream* stream);
    vst3::tresult GetControllerState(vst3::IBStream* stream);

private:
    Plugin();
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool Initialized() const { return initializeCount_.load(std::memory_order_acquire) > 0; }
    bool KnownParameter(vst3::ParamID id) const { return id < static_cast<vst3::ParamID>(parameterCount_); }

    // Main thread: reads a state into scratch_, up to one chunk; false for
    // fewer than 4 bytes or no marker. The bytes read are clamped.
    bool ReadState(vst3::IBStream* stream, std::int32_t* count);

    // The effect's holder only.
    void TakePendingState();
    void Publish(std::uint64_t changedParameters);
    template <class Sample>
    vst3::tresult ProcessHeld(vst3::ProcessData& data);
    template <class Sample>
    vst3::tresult ProcessSplit(vst3::ProcessData& data, Sample** inputs, Sample** outputs);

    std::atomic<vst3::uint32> references_{1};
    BrioFormatInstance brio_;
    std::int32_t parameterCount_ = 0;
    std::int32_t chunkSize_ = 0;

    EffectOwner owner_;
    PendingState pending_;
    PublishedChunk published_;
    // The controller's values: published by the holder after each change,
    // set by the host through setParamNormalized and setComponentState.
    std::unique_ptr<std::atomic<double>[]> values_;
    std::unique_ptr<unsigned char[]> scratch_; // main thread: a state on its way in or out
    QueuedPoints points_;                      // audio thread

    std::atomic<int> initializeCount_{0};
    std::atomic<bool> setUp_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> processing_{false};
    std::atomic<vst3::uint32> latency_{0};
    vst3::FUnknown* context_ = nullptr;
    vst3::IComponentHandler* handler_ = nullptr;
};

static_assert(std::atomic<double>::is_always_lock_free, "the controller's values need lock-free doubles");

} // namespace vst3_plugin
