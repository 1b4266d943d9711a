// The runtime's layer chain, base first. Each layer adds one group of script
// facilities and holds exactly its own fields; the effect scheduler stands on
// the top one.
//
// Threads: every field here is touched by the host's calls without locks.
// Parameter changes may run the slider section on one thread while another
// processes; the sections share these variables on purpose.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "runtime/filestream.h"
#include "runtime/number.h"

class BrioHost;

class CQuillMemory {
public:
    // Script memory: numbered blocks of doubles. The crossfader never uses it.
    std::map<std::int32_t, std::vector<double>> memoryBlocks;
};

class CQuillBrio : public CQuillMemory {
public:
    BrioHost* wrapper = nullptr; // the format wrapper that answers the services; not owned
};

class CQuillSliders : public CQuillBrio {
public:
    static constexpr int kSliderCount = 128;

    virtual void DoSlider() {}

    // Value of slider number N at element N; element 0 belongs to no slider.
    // The size is fixed, so the array lives inside the object.
    std::array<double, kSliderCount> sliderValues{};

    // A slider addressed by a computed number wraps into 0 … 127.
    double& SliderAt(double number) { return sliderValues[static_cast<std::uint32_t>(quill::ToIndex(number)) & 127u]; }
};

class CQuillSamples : public CQuillSliders {
public:
    static constexpr int kSampleSlotCount = 64;

    virtual void DoBlock() {}
    virtual void DoSample() {}

    // One frame of audio, one element per channel; never cleared.
    std::array<double, kSampleSlotCount> sampleSlots{};
};

struct SliderDefinition {
    std::vector<std::string> enumNames;
    bool prepared = false;
    std::int32_t slot = 0;
    double* linkedVariable = nullptr; // mirrors the value on host changes; not owned
    double defaultValue = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    double step = 0.0;
    std::string folder; // data folder relative to the plug-in's folder
    std::string extraText;
    std::string label;
    std::string name;
};

class CQuillDescription : public CQuillSamples {
public:
    std::vector<SliderDefinition> sliders; // host parameter k is sliders[k]
    std::string effectName;
    std::string productString;
    std::string vendorString;
    std::string programName;
    std::int32_t vendorVersion = 0;
    std::int32_t uniqueId = 0;
    std::int32_t channelCount = 0;

    // Appends a slider record and stores its default; answers its index.
    std::int32_t AddSlider(std::int32_t slot, double* linkedVariable, double defaultValue, double minimum,
                           double maximum, double step, const std::string& folder, const std::string& extraText,
                           const std::string& label, const std::string& name);

    bool HasSlider(std::int32_t k) const { return k >= 0 && static_cast<std::size_t>(k) < sliders.size(); }

    // Host view of slider k in 0 … 1 (not clamped); 0 for an unknown k or an empty range.
    double NormaliseSliderValue(std::int32_t k) const;
    // Quantises a host value to the slider's step and runs the slider section
    // when the value really changed. Unknown k and non-finite x are ignored.
    void SetSliderFromHost(std::int32_t k, double x);
    // The enumeration name for the value, or the value with two decimals.
    std::string SliderDisplayText(std::int32_t k) const;

    // What a host value x becomes on the slider: rounded to the nearest step
    // of a grid that counts from 0; unquantised for a non-positive step.
    static double ValueFromHost(const SliderDefinition& slider, double x);
    // The display text of any value of the slider.
    static std::string DisplayText(const SliderDefinition& slider, double value);

private:
    void PrepareSlider(SliderDefinition& slider);
};

class CQuillStrings : public CQuillDescription {
public:
    std::map<std::int32_t, std::string> strings; // 10000 up: the script's literals
    std::map<std::int32_t, std::string> spareStrings;
    double stringCount = 0.0;

    // Reading a slot creates it; stringCount follows every access.
    std::string& StringSlot(std::int32_t number) {
        std::string& text = strings[number];
        stringCount = static_cast<double>(strings.size());
        return text;
    }

    void ResetStrings() {
        strings.clear();
        stringCount = 0.0;
    }
};

class CQuillFiles : public CQuillStrings {
public:
    CQuillFiles() : files(1) {}
    ~CQuillFiles() {
        for (FileStream& stream : files) stream.Close();
    }
    CQuillFiles(const CQuillFiles&) = delete;
    CQuillFiles& operator=(const CQuillFiles&) = delete;

    std::vector<FileStream> files; // stream 0 carries the state chunk
};

// Drawing support for a script's graphics section. This plug-in never offers
// an editor, so these layers only hold their state.
class CQuillFonts : public CQuillFiles {
public:
    std::map<std::int32_t, std::string> fonts;
};

class CQuillGraphics : public CQuillFonts {
public:
    double drawX = 0.0, drawY = 0.0;
    double drawColour[4] = {0.0, 0.0, 0.0, 1.0};
};

class CQuillMouse : public CQuillGraphics {
public:
    double mouseX = 0.0, mouseY = 0.0, mouseButtons = 0.0;
};
