#include "core/brio_format.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/text_copy.h"
#include "effect/tquill.h"

namespace {

const SliderDefinition* Slider(const BrioInstance* brio, std::int32_t index) {
    if (!brio || !brio->effect || !brio->effect->HasSlider(index)) return nullptr;
    return &brio->effect->sliders[static_cast<std::size_t>(index)];
}

bool SameTextIgnoringCase(const char* a, std::size_t length, const std::string& b) {
    if (length != b.size()) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// What a normalised value from a newer format becomes before slot 21: NaN
// and infinities have no place on a slider, everything else lands inside it,
// and the float narrowing is what a VST 2.4 host's value goes through.
bool Narrow(double normalised, double* out) {
    if (!std::isfinite(normalised)) return false;
    const double clamped = normalised < 0.0 ? 0.0 : normalised > 1.0 ? 1.0 : normalised;
    *out = static_cast<double>(static_cast<float>(clamped));
    return true;
}

} // namespace

std::int32_t BrioSliderCount(const BrioInstance* brio) {
    return brio && brio->effect ? static_cast<std::int32_t>(brio->effect->sliders.size()) : 0;
}

bool BrioGetSliderFacts(const BrioInstance* brio, std::int32_t index, BrioSliderFacts* out) {
    const SliderDefinition* slider = Slider(brio, index);
    if (!slider || !out) return false;
    out->name = &slider->name;
    out->label = &slider->label;
    out->minimum = slider->minimum;
    out->maximum = slider->maximum;
    out->step = slider->step;
    out->defaultValue = slider->defaultValue;
    out->enumNames = &slider->enumNames;
    return true;
}

double BrioSliderValue(const BrioInstance* brio, std::int32_t index) {
    const SliderDefinition* slider = Slider(brio, index);
    return slider ? brio->effect->sliderValues[static_cast<std::size_t>(slider->slot)] : 0.0;
}

bool BrioFormatValue(const BrioInstance* brio, std::int32_t index, double plain, char* text, std::size_t capacity) {
    const SliderDefinition* slider = Slider(brio, index);
    if (!slider || !text || capacity == 0) return false;
    CopyText(text, CQuillDescription::DisplayText(*slider, plain), capacity);
    return true;
}

bool BrioParseValue(const BrioInstance* brio, std::int32_t index, const char* text, double* plain) {
    const SliderDefinition* slider = Slider(brio, index);
    if (!slider || !text || !plain) return false;
    const char* begin = text;
    while (std::isspace(static_cast<unsigned char>(*begin))) ++begin;
    std::size_t length = std::strlen(begin);
    while (length > 0 && std::isspace(static_cast<unsigned char>(begin[length - 1]))) --length;
    const std::size_t names = slider->enumNames.size();
    for (std::size_t i = 0; i < names; ++i)
        if (SameTextIgnoringCase(begin, length, slider->enumNames[i])) {
            // Names spread evenly over the range, as the display maps them.
            const double position = names > 1 ? static_cast<double>(i) / static_cast<double>(names - 1) : 0.0;
            *plain = slider->minimum + position * (slider->maximum - slider->minimum);
            return true;
        }
    if (length == 0) return false;
    const std::string number(begin, length);
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size() || !std::isfinite(value)) return false;
    *plain = value;
    return true;
}

double BrioPlainToNormalised(const BrioInstance* brio, std::int32_t index, double plain) {
    const SliderDefinition* slider = Slider(brio, index);
    if (!slider) return 0.0;
    const double range = slider->maximum - slider->minimum;
    return range == 0.0 ? 0.0 : (plain - slider->minimum) / range;
}

double BrioNormalisedToPlain(const BrioInstance* brio, std::int32_t index, double normalised) {
    const SliderDefinition* slider = Slider(brio, index);
    return slider ? slider->minimum + normalised * (slider->maximum - slider->minimum) : 0.0;
}

double BrioQuantisedPlain(const BrioInstance* brio, std::int32_t index, double normalised) {
    const SliderDefinition* slider = Slider(brio, index);
    if (!slider) return 0.0;
    double narrowed = 0.0;
    if (!Narrow(normalised, &narrowed)) return slider->minimum;
    return CQuillDescription::ValueFromHost(*slider, narrowed);
}

void BrioSetNormalised(BrioInstance* brio, std::int32_t index, double normalised) {
    double narrowed = 0.0;
    if (!brio || !brio->callbacks.setParameter || !Narrow(normalised, &narrowed)) return;
    brio->callbacks.setParameter(brio, index, narrowed);
}

void BrioSetPlain(BrioInstance* brio, std::int32_t index, double plain) {
    if (!Slider(brio, index)) return;
    BrioSetNormalised(brio, index, BrioPlainToNormalised(brio, index, plain));
}

void BrioClampChunk(const BrioInstance* brio, void* bytes, std::int32_t byteCount) {
    if (!brio || !brio->effect || !bytes || byteCount < 8) return;
    auto* base = static_cast<unsigned char*>(bytes);
    const std::size_t elements = static_cast<std::size_t>(byteCount) / sizeof(float);
    for (const SliderDefinition& slider : brio->effect->sliders) {
        const auto element = static_cast<std::size_t>(slider.slot);
        if (element == 0 || element >= elements) continue;
        float value;
        std::memcpy(&value, base + element * sizeof value, sizeof value);
        if (!std::isfinite(value)) value = static_cast<float>(slider.defaultValue);
        else if (value < slider.minimum) value = static_cast<float>(slider.minimum);
        else if (value > slider.maximum) value = static_cast<float>(slider.maximum);
        std::memcpy(base + element * sizeof value, &value, sizeof value);
    }
}

std::int32_t BrioLoadChunk(BrioInstance* brio, const void* bytes, std::int32_t byteCount) {
    if (!brio || !brio->callbacks.setChunk || !bytes) return 0;
    std::vector<unsigned char> copy;
    if (byteCount > 0)
        copy.assign(static_cast<const unsigned char*>(bytes), static_cast<const unsigned char*>(bytes) + byteCount);
    BrioClampChunk(brio, copy.data(), byteCount);
    return brio->callbacks.setChunk(brio, copy.data(), byteCount, false);
}

std::int32_t BrioSaveChunk(BrioInstance* brio, void** data) {
    if (!brio || !brio->callbacks.getChunk || !data) return 0;
    return brio->callbacks.getChunk(brio, data, false);
}

bool BrioChunkHasMarker(const void* bytes, std::size_t byteCount) {
    if (!bytes || byteCount < sizeof(float)) return false;
    float marker;
    std::memcpy(&marker, bytes, sizeof marker);
    return marker == TQuill::ChunkMarker;
}

namespace {
template <class Sample, class Slot>
void ProcessRange(BrioInstance* brio, Slot slot, Sample** inputs, Sample** outputs, std::int32_t begin,
                  std::int32_t end, bool runBlock) {
    if (!brio || !slot) return;
    if (begin < 0) begin = 0;
    if (end < begin) end = begin;
    brio->segment = {begin, runBlock};
    slot(brio, inputs, outputs, end);
    brio->segment = {};
}
} // namespace

void BrioProcessRange(BrioInstance* brio, float** inputs, float** outputs, std::int32_t begin, std::int32_t end,
                      bool runBlock) {
    ProcessRange(brio, brio ? brio->callbacks.processReplacing : nullptr, inputs, outputs, begin, end, runBlock);
}

void BrioProcessRange(BrioInstance* brio, double** inputs, double** outputs, std::int32_t begin, std::int32_t end,
                      bool runBlock) {
    ProcessRange(brio, brio ? brio->callbacks.processDoubleReplacing : nullptr, inputs, outputs, begin, end, runBlock);
}
