// Sliders as host parameters: adding, normalising, quantising and display.
#include <cmath>
#include <cstdio>

#include "runtime/datapath.h"
#include "runtime/layers.h"

std::int32_t CQuillDescription::AddSlider(std::int32_t slot, double* linkedVariable, double defaultValue,
                                          double minimum, double maximum, double step, const std::string& folder,
                                          const std::string& extraText, const std::string& label,
                                          const std::string& name) {
    // Slot numbers wrap like computed slider numbers, so no record can address
    // outside the value array.
    slot = static_cast<std::int32_t>(static_cast<std::uint32_t>(slot) & 127u);
    sliderValues[static_cast<std::size_t>(slot)] = defaultValue;
    SliderDefinition& slider = sliders.emplace_back();
    slider.slot = slot;
    slider.linkedVariable = linkedVariable;
    slider.defaultValue = defaultValue;
    slider.minimum = minimum;
    slider.maximum = maximum;
    slider.step = step;
    slider.folder = folder;
    slider.extraText = extraText;
    slider.label = label;
    slider.name = name;
    PrepareSlider(slider);
    return static_cast<std::int32_t>(sliders.size() - 1);
}

void CQuillDescription::PrepareSlider(SliderDefinition& slider) {
    if (slider.prepared) return;
    slider.prepared = true;
    if (slider.folder.empty()) return;
    for (std::string& file : quill::ListDataFolder(quill::DataPath(slider.folder)))
        slider.enumNames.push_back(std::move(file));
    if (slider.enumNames.empty()) slider.enumNames.emplace_back("(No Data Files)");
    slider.defaultValue = 0.0;
    slider.minimum = 0.0;
    slider.maximum = static_cast<double>(slider.enumNames.size() - 1);
    slider.step = 0.5;
}

double CQuillDescription::NormaliseSliderValue(std::int32_t k) const {
    if (!HasSlider(k)) return 0.0;
    const SliderDefinition& slider = sliders[static_cast<std::size_t>(k)];
    const double range = slider.maximum - slider.minimum;
    if (range == 0.0) return 0.0;
    return (sliderValues[static_cast<std::size_t>(slider.slot)] - slider.minimum) / range;
}

void CQuillDescription::SetSliderFromHost(std::int32_t k, double x) {
    if (!HasSlider(k) || !std::isfinite(x)) return;
    const SliderDefinition& slider = sliders[static_cast<std::size_t>(k)];
    const double v = ValueFromHost(slider, x);
    double& value = sliderValues[static_cast<std::size_t>(slider.slot)];
    if (quill::Equal(v, value)) return;
    value = v;
    if (slider.linkedVariable) *slider.linkedVariable = v;
    DoSlider();
}

double CQuillDescription::ValueFromHost(const SliderDefinition& slider, double x) {
    const double target = slider.minimum + x * (slider.maximum - slider.minimum);
    // The grid counts from 0, not from the minimum. A non-positive step would
    // divide by zero: such a slider takes the value unquantised.
    return slider.step > 0.0 ? std::floor((target + slider.step * 0.5) / slider.step) * slider.step : target;
}

std::string CQuillDescription::SliderDisplayText(std::int32_t k) const {
    if (!HasSlider(k)) return {};
    const SliderDefinition& slider = sliders[static_cast<std::size_t>(k)];
    return DisplayText(slider, sliderValues[static_cast<std::size_t>(slider.slot)]);
}

std::string CQuillDescription::DisplayText(const SliderDefinition& slider, double v) {
    const std::size_t n = slider.enumNames.size();
    if (n == 0) {
        char text[512];
        std::snprintf(text, sizeof text, "%.2f", v);
        return text;
    }
    const double i = std::trunc((v - slider.minimum) * static_cast<double>(n - 1) / (slider.maximum - slider.minimum));
    // Compared as doubles first: NaN and huge values have no integer form.
    std::size_t index = 0;
    if (i >= static_cast<double>(n - 1)) index = n - 1;
    else if (i > 0.0) index = static_cast<std::size_t>(i);
    return slider.enumNames[index];
}
