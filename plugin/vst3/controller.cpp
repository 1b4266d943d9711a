// IEditController (main thread): the parameters described from the effect's
// sliders, their texts as the VST 2.4 display shows them, and the values the
// controller reports, always inside [0, 1].
#include <cmath>
#include <cstring>

#include "plugin/vst3/plugin.h"
#include "plugin/vst3/utf16.h"

namespace vst3_plugin {

namespace {

double Clamped(double normalised) { return normalised < 0.0 ? 0.0 : normalised > 1.0 ? 1.0 : normalised; }

// The level sliders feed powers of ten of value / 20 in the slider section: decibels.
bool IsDecibels(const BrioSliderFacts& facts) { return facts.name && facts.name->find("level") != std::string::npos; }

} // namespace

vst3::tresult PLUGIN_API Plugin::setComponentState(vst3::IBStream* state) {
    if (!Initialized()) return vst3::kResultFalse;
    std::int32_t count = 0;
    if (!ReadState(state, &count)) return vst3::kResultFalse;
    // Chunk element k + 1 carries slider k; a shorter state leaves the rest, as loading it does.
    for (std::int32_t k = 0; k < parameterCount_; ++k) {
        const std::int32_t at = (k + 1) * 4;
        if (at + 4 > count) break;
        float plain;
        std::memcpy(&plain, scratch_.get() + at, sizeof plain);
        values_[static_cast<std::size_t>(k)].store(Clamped(BrioPlainToNormalised(&brio_, k, plain)),
                                                   std::memory_order_release);
    }
    return vst3::kResultOk;
}

vst3::int32 PLUGIN_API Plugin::getParameterCount() { return parameterCount_; }

vst3::tresult PLUGIN_API Plugin::getParameterInfo(vst3::int32 paramIndex, vst3::ParameterInfo* info) {
    BrioSliderFacts facts;
    if (!info || paramIndex < 0 || paramIndex >= parameterCount_ || !BrioGetSliderFacts(&brio_, paramIndex, &facts))
        return vst3::kInvalidArgument;
    std::memset(info, 0, sizeof *info);
    info->id = static_cast<vst3::ParamID>(paramIndex);
    CopyUtf16(info->title, *facts.name, 128);
    CopyUtf16(info->shortTitle, *facts.name, 128);
    CopyUtf16(info->units, IsDecibels(facts) ? std::string_view("dB") : std::string_view(*facts.label), 128);
    info->stepCount =
        facts.step > 0.0 ? static_cast<vst3::int32>(std::lround((facts.maximum - facts.minimum) / facts.step)) : 0;
    info->defaultNormalizedValue = Clamped(BrioPlainToNormalised(&brio_, paramIndex, facts.defaultValue));
    info->unitId = 0;
    info->flags = vst3::ParameterInfo::kCanAutomate;
    // Named values ("on", "off") make a list, which hosts show by name.
    if (facts.enumNames && !facts.enumNames->empty()) info->flags |= vst3::ParameterInfo::kIsList;
    return vst3::kResultOk;
}

vst3::tresult PLUGIN_API Plugin::getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                       vst3::String128 string) {
    if (!string || !KnownParameter(id)) return vst3::kInvalidArgument;
    const auto index = static_cast<std::int32_t>(id);
    char text[kBrioParameterTextCapacity];
    if (!BrioFormatValue(&brio_, index, BrioQuantisedPlain(&brio_, index, valueNormalized), text, sizeof text))
        return vst3::kResultFalse;
    CopyUtf16(string, text, 128);
    return vst3::kResultOk;
}

vst3::tresult PLUGIN_API Plugin::getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                       vst3::ParamValue* valueNormalized) {
    if (!string || !valueNormalized || !KnownParameter(id)) return vst3::kInvalidArgument;
    const auto index = static_cast<std::int32_t>(id);
    char text[128];
    double plain = 0.0;
    if (!AsciiFromUtf16(string, text, sizeof text) || !BrioParseValue(&brio_, index, text, &plain))
        return vst3::kResultFalse;
    *valueNormalized = Clamped(BrioPlainToNormalised(&brio_, index, plain));
    return vst3::kResultOk;
}

// The value the effect takes for a normalised one: clamped, narrowed, on its step.
vst3::ParamValue PLUGIN_API Plugin::normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue valueNormalized) {
    return KnownParameter(id) ? BrioQuantisedPlain(&brio_, static_cast<std::int32_t>(id), valueNormalized) : 0.0;
}

vst3::ParamValue PLUGIN_API Plugin::plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plainValue) {
    if (!KnownParameter(id) || !std::isfinite(plainValue)) return 0.0;
    return Clamped(BrioPlainToNormalised(&brio_, static_cast<std::int32_t>(id), plainValue));
}

vst3::ParamValue PLUGIN_API Plugin::getParamNormalized(vst3::ParamID id) {
    return KnownParameter(id) ? values_[id].load(std::memory_order_acquire) : 0.0;
}

// Only the shown value: the host sends the change to the processor through the queues.
vst3::tresult PLUGIN_API Plugin::setParamNormalized(vst3::ParamID id, vst3::ParamValue value) {
    if (!KnownParameter(id)) return vst3::kInvalidArgument;
    if (!std::isfinite(value)) return vst3::kResultFalse;
    values_[id].store(Clamped(value), std::memory_order_release);
    return vst3::kResultOk;
}

vst3::tresult PLUGIN_API Plugin::setComponentHandler(vst3::IComponentHandler* handler) {
    if (handler == handler_) return vst3::kResultOk;
    if (handler) handler->addRef();
    if (handler_) handler_->release();
    handler_ = handler;
    return vst3::kResultOk;
}

vst3::IPlugView* PLUGIN_API Plugin::createView(vst3::FIDString) { return nullptr; }

} // namespace vst3_plugin
