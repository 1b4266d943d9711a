// Host time from time:Position events. An LV2 host sends a position only
// when it changes, so the last one is kept and moved on with every run.
#pragma once

#include <cstdint>

#include <lv2/atom/atom.h>

#include "core/brio_instance.h"

struct Lv2Urids;

struct Lv2Position {
    bool known = false;
    double tempo = 0.0;       // beats per minute
    double beatsPerBar = 0.0; // the signature's numerator
    double beatUnit = 0.0;    // its denominator
    double speed = 0.0;       // 0 when stopped
    double beats = 0.0;       // in beat units, at the current run's first frame
};

// Reads the time:Position objects of one run of frames frames: the last one
// wins, carried back to the run's first frame. Malformed events are skipped;
// nothing is read beyond the sequence's size.
void Lv2ReadPositions(const LV2_Atom_Sequence* sequence, const Lv2Urids& urids, std::uint32_t frames, double sampleRate,
                      Lv2Position& position);
// Moves the position on to the next run's first frame.
void Lv2AdvancePosition(Lv2Position& position, std::uint32_t frames, double sampleRate);
// What the effect sees: nothing until the host has given a position.
BrioTransport Lv2Transport(const Lv2Position& position);
