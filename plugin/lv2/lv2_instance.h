// One LV2 instance of the crossfader: the format-neutral instance, the
// host's port buffers, and what the wrapper remembers between runs.
#pragma once

#include <cstdint>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include "core/brio_instance.h"
#include "plugin/lv2/lv2_ports.h"
#include "plugin/lv2/lv2_transport.h"

struct Lv2Urids {
    LV2_URID atomBlank = 0, atomObject = 0, atomSequence = 0, atomChunk = 0;
    LV2_URID atomFloat = 0, atomDouble = 0, atomInt = 0, atomLong = 0;
    LV2_URID timePosition = 0, timeBar = 0, timeBarBeat = 0, timeBeat = 0, timeBeatUnit = 0, timeBeatsPerBar = 0,
             timeBeatsPerMinute = 0, timeSpeed = 0;
    LV2_URID chunkKey = 0, maxBlockLength = 0;
};

struct Lv2Instance {
    BrioFormatInstance brio;

    const float* inputs[2] = {nullptr, nullptr};
    float* outputs[2] = {nullptr, nullptr};
    const float* controls[lv2port::kControlCount] = {};
    const LV2_Atom_Sequence* events = nullptr;

    // Control values as last handed to the effect, compared bit for bit so
    // that a NaN the effect ignored is not offered again on every run.
    std::uint32_t applied[lv2port::kControlCount] = {};
    // Ports the effect is handed on their next run whatever they hold: all
    // of them after activation and after a state restore.
    bool pending[lv2port::kControlCount] = {true, true, true, true, true, true};
    void RefreshControls() {
        for (bool& port : pending) port = true;
    }

    // Without urid:map there is neither time nor state.
    bool mapped = false;
    Lv2Urids urids;
    Lv2Position position;
};

// The descriptor the module exports; its functions never throw.
const LV2_Descriptor* Lv2CrossfaderDescriptor();
// The state extension's interface (LV2_STATE__interface).
const void* Lv2StateInterface();
