// What the plug-in's description and its wrapper must agree on: the URIs,
// the ports in index order, and which slider each control port carries.
// Names, ranges, defaults and enumerations come from the effect's sliders.
#pragma once

#include <cstdint>

namespace lv2port {

inline constexpr char kPluginUri[] = "urn:morvantide:crossfader_2x_mono";
// The one state property: the effect's chunk.
inline constexpr char kChunkKeyUri[] = "urn:morvantide:crossfader_2x_mono#chunk";

inline constexpr std::uint32_t kIn1 = 0, kIn2 = 1, kOut1 = 2, kOut2 = 3;
inline constexpr std::uint32_t kFirstControl = 4, kControlCount = 6;
inline constexpr std::uint32_t kEvents = kFirstControl + kControlCount;
inline constexpr std::uint32_t kPortCount = kEvents + 1;

struct AudioPort {
    const char* symbol;
    const char* name;
};
inline constexpr AudioPort kAudioInputs[2] = {{"in_1", "mono 1"}, {"in_2", "mono 2"}};
inline constexpr AudioPort kAudioOutputs[2] = {{"out_1", "output 1"}, {"out_2", "output 2"}};

// Control port kFirstControl + k carries slider k.
struct ControlPort {
    const char* symbol;
    bool decibels;
};
inline constexpr ControlPort kControls[kControlCount] = {{"level_1", true},        {"level_2", true},
                                                         {"crossfader", false},    {"channel_1_off", false},
                                                         {"channel_2_off", false}, {"output_level", true}};

inline constexpr char kEventsSymbol[] = "control";

} // namespace lv2port
