#include "plugin/lv2/lv2_transport.h"

#include <cmath>
#include <cstring>

#include "plugin/lv2/lv2_instance.h"

namespace {

// Atoms in a sequence or object start on 8-byte boundaries.
constexpr std::uint64_t Padded(std::uint64_t size) { return (size + 7u) & ~std::uint64_t{7}; }

// A host's buffer is trusted as far as the sizes it states, no further:
// every header and body is checked against what is left before it is read.
bool ReadNumber(const LV2_Atom& atom, const Lv2Urids& urids, double* out) {
    const auto* body = reinterpret_cast<const unsigned char*>(&atom + 1);
    double value = 0.0;
    if (atom.type == urids.atomFloat && atom.size >= sizeof(float)) {
        float x;
        std::memcpy(&x, body, sizeof x);
        value = x;
    } else if (atom.type == urids.atomDouble && atom.size >= sizeof(double)) {
        std::memcpy(&value, body, sizeof value);
    } else if (atom.type == urids.atomInt && atom.size >= sizeof(std::int32_t)) {
        std::int32_t x;
        std::memcpy(&x, body, sizeof x);
        value = x;
    } else if (atom.type == urids.atomLong && atom.size >= sizeof(std::int64_t)) {
        std::int64_t x;
        std::memcpy(&x, body, sizeof x);
        value = static_cast<double>(x);
    } else {
        return false;
    }
    if (!std::isfinite(value)) return false;
    *out = value;
    return true;
}

double BeatsPerFrame(const Lv2Position& position, double sampleRate) {
    const double perFrame = position.speed * position.tempo / 60.0 / sampleRate;
    return std::isfinite(perFrame) ? perFrame : 0.0;
}

void ReadPosition(const LV2_Atom_Object_Body& object, std::uint32_t size, std::int64_t frame, const Lv2Urids& urids,
                  double sampleRate, Lv2Position& position) {
    double bar = 0.0, barBeat = 0.0, beat = 0.0;
    bool hasBar = false, hasBarBeat = false, hasBeat = false;
    const auto* base = reinterpret_cast<const unsigned char*>(&object);
    std::uint64_t offset = sizeof(LV2_Atom_Object_Body);
    while (offset + sizeof(LV2_Atom_Property_Body) <= size) {
        const auto* property = reinterpret_cast<const LV2_Atom_Property_Body*>(base + offset);
        const std::uint64_t length = sizeof(LV2_Atom_Property_Body) + std::uint64_t{property->value.size};
        if (offset + length > size) break;
        offset += Padded(length);
        double x = 0.0;
        if (!ReadNumber(property->value, urids, &x)) continue;
        const LV2_URID key = property->key;
        if (key == urids.timeBeatsPerMinute) position.tempo = x;
        else if (key == urids.timeBeatsPerBar) position.beatsPerBar = x;
        else if (key == urids.timeBeatUnit) position.beatUnit = x;
        else if (key == urids.timeSpeed) position.speed = x;
        else if (key == urids.timeBar) {
            bar = x;
            hasBar = true;
        } else if (key == urids.timeBarBeat) {
            barBeat = x;
            hasBarBeat = true;
        } else if (key == urids.timeBeat) {
            beat = x;
            hasBeat = true;
        }
    }
    position.known = true;
    // The effect reads time once per run: an event's position is carried
    // back from its frame to the run's first, at the event's own speed.
    const double back = static_cast<double>(frame) * BeatsPerFrame(position, sampleRate);
    double beats = position.beats;
    if (hasBar && hasBarBeat) beats = bar * position.beatsPerBar + barBeat - back;
    else if (hasBeat) beats = beat - back;
    if (std::isfinite(beats)) position.beats = beats;
}

} // namespace

void Lv2ReadPositions(const LV2_Atom_Sequence* sequence, const Lv2Urids& urids, std::uint32_t frames, double sampleRate,
                      Lv2Position& position) {
    if (!sequence || sequence->atom.type != urids.atomSequence) return;
    const std::uint32_t size = sequence->atom.size;
    const auto* base = reinterpret_cast<const unsigned char*>(&sequence->body);
    std::uint64_t offset = sizeof(LV2_Atom_Sequence_Body);
    while (offset + sizeof(LV2_Atom_Event) <= size) {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(base + offset);
        const std::uint32_t bodySize = event->body.size;
        if (bodySize > size - offset - sizeof(LV2_Atom_Event)) break;
        const bool object = event->body.type == urids.atomObject || event->body.type == urids.atomBlank;
        if (object && bodySize >= sizeof(LV2_Atom_Object_Body)) {
            const auto& body = reinterpret_cast<const LV2_Atom_Object*>(&event->body)->body;
            if (body.otype == urids.timePosition) {
                // Frame times outside the run are the host's mistake: pinned to it.
                const std::int64_t at = event->time.frames;
                const std::int64_t frame = at < 0 ? 0 : at > frames ? frames : at;
                ReadPosition(body, bodySize, frame, urids, sampleRate, position);
            }
        }
        offset += sizeof(LV2_Atom_Event) + Padded(bodySize);
    }
}

void Lv2AdvancePosition(Lv2Position& position, std::uint32_t frames, double sampleRate) {
    if (!position.known) return;
    const double next = position.beats + static_cast<double>(frames) * BeatsPerFrame(position, sampleRate);
    if (std::isfinite(next)) position.beats = next;
}

BrioTransport Lv2Transport(const Lv2Position& position) {
    BrioTransport transport;
    if (!position.known) return transport;
    transport.present = true;
    transport.playing = position.speed != 0.0;
    transport.tempo = position.tempo;
    transport.numerator = position.beatsPerBar;
    transport.denominator = position.beatUnit;
    // Quarter notes: a beat of unit u is 4 / u of one.
    const double ppq = position.beatUnit > 0.0 ? position.beats * 4.0 / position.beatUnit : position.beats;
    transport.ppqPos = std::isfinite(ppq) ? ppq : 0.0;
    return transport;
}
