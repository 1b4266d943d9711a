// The descriptor's functions: instance life, ports, and the run that hands
// changed controls, host time and audio to the effect.
#include <cfloat>
#include <cstring>
#include <memory>

#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include "core/brio_format.h"
#include "plugin/lv2/lv2_instance.h"

namespace {

// False when the host's map answers 0 for any of them: a wrapper that
// could not tell its URIDs apart would misread events and state.
bool MapUrids(const LV2_URID_Map& map, Lv2Urids& u) {
    const struct {
        LV2_URID* urid;
        const char* uri;
    } entries[] = {{&u.atomBlank, LV2_ATOM__Blank},
                   {&u.atomObject, LV2_ATOM__Object},
                   {&u.atomSequence, LV2_ATOM__Sequence},
                   {&u.atomChunk, LV2_ATOM__Chunk},
                   {&u.atomFloat, LV2_ATOM__Float},
                   {&u.atomDouble, LV2_ATOM__Double},
                   {&u.atomInt, LV2_ATOM__Int},
                   {&u.atomLong, LV2_ATOM__Long},
                   {&u.timePosition, LV2_TIME__Position},
                   {&u.timeBar, LV2_TIME__bar},
                   {&u.timeBarBeat, LV2_TIME__barBeat},
                   {&u.timeBeat, LV2_TIME__beat},
                   {&u.timeBeatUnit, LV2_TIME__beatUnit},
                   {&u.timeBeatsPerBar, LV2_TIME__beatsPerBar},
                   {&u.timeBeatsPerMinute, LV2_TIME__beatsPerMinute},
                   {&u.timeSpeed, LV2_TIME__speed},
                   {&u.chunkKey, lv2port::kChunkKeyUri},
                   {&u.maxBlockLength, LV2_BUF_SIZE__maxBlockLength}};
    for (const auto& entry : entries) {
        *entry.urid = map.map(map.handle, entry.uri);
        if (*entry.urid == 0) return false;
    }
    return true;
}

void ReadOptions(const LV2_Options_Option* options, Lv2Instance& self) {
    for (const LV2_Options_Option* option = options; option->key != 0 || option->value; ++option) {
        if (option->key != self.urids.maxBlockLength || option->type != self.urids.atomInt ||
            option->size != sizeof(std::int32_t) || !option->value)
            continue;
        std::int32_t frames;
        std::memcpy(&frames, option->value, sizeof frames);
        if (frames > 0) self.brio.blockSize = frames;
    }
}

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) noexcept {
    // The effect's rate is a float, as a VST 2.4 host hands it.
    if (!(rate > 0.0 && rate <= FLT_MAX)) return nullptr;
    try {
        auto self = std::make_unique<Lv2Instance>();
        if (!self->brio.effect) return nullptr;
        const LV2_URID_Map* map = nullptr;
        const LV2_Options_Option* options = nullptr;
        for (const LV2_Feature* const* f = features; f && *f; ++f) {
            if (!(*f)->URI) continue;
            if (std::strcmp((*f)->URI, LV2_URID__map) == 0) map = static_cast<const LV2_URID_Map*>((*f)->data);
            else if (std::strcmp((*f)->URI, LV2_OPTIONS__options) == 0)
                options = static_cast<const LV2_Options_Option*>((*f)->data);
        }
        self->mapped = map && map->map && MapUrids(*map, self->urids);
        self->brio.sampleRate = static_cast<float>(rate);
        if (self->mapped && options) ReadOptions(options, *self);
        if (self->brio.callbacks.open) self->brio.callbacks.open(&self->brio);
        return self.release();
    } catch (...) {
        return nullptr;
    }
}

void ConnectPort(LV2_Handle handle, std::uint32_t port, void* data) noexcept {
    auto* self = static_cast<Lv2Instance*>(handle);
    if (!self) return;
    using namespace lv2port;
    if (port == kIn1 || port == kIn2) self->inputs[port - kIn1] = static_cast<const float*>(data);
    else if (port == kOut1 || port == kOut2) self->outputs[port - kOut1] = static_cast<float*>(data);
    else if (port >= kFirstControl && port < kFirstControl + kControlCount)
        self->controls[port - kFirstControl] = static_cast<const float*>(data);
    else if (port == kEvents) self->events = static_cast<const LV2_Atom_Sequence*>(data);
}

void Activate(LV2_Handle handle) noexcept {
    auto* self = static_cast<Lv2Instance*>(handle);
    if (!self) return;
    if (self->brio.callbacks.resume) self->brio.callbacks.resume(&self->brio);
    self->RefreshControls();
}

void ApplyControls(Lv2Instance& self) {
    for (std::uint32_t k = 0; k < lv2port::kControlCount; ++k) {
        if (!self.controls[k]) continue;
        const float value = *self.controls[k];
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        if (!self.pending[k] && bits == self.applied[k]) continue;
        self.applied[k] = bits;
        self.pending[k] = false;
        BrioSetPlain(&self.brio, static_cast<std::int32_t>(k), value);
    }
}

void Process(Lv2Instance& self, std::uint32_t frames) {
    float* const* out = self.outputs;
    if (!self.inputs[0] || !self.inputs[1] || !out[0] || !out[1]) {
        // Nothing to mix from or into: what is connected stays silent.
        for (float* channel : self.outputs)
            if (channel) std::memset(channel, 0, sizeof(float) * frames);
        return;
    }
    // The effect counts frames in int32; a longer run goes in parts.
    constexpr std::uint32_t kPart = 1u << 30;
    std::uint32_t done = 0;
    do {
        const std::uint32_t n = frames - done < kPart ? frames - done : kPart;
        float* ins[2] = {const_cast<float*>(self.inputs[0]) + done, const_cast<float*>(self.inputs[1]) + done};
        float* outs[2] = {out[0] + done, out[1] + done};
        BrioProcessWhole(&self.brio, ins, outs, static_cast<std::int32_t>(n));
        done += n;
    } while (done < frames);
}

void Run(LV2_Handle handle, std::uint32_t frames) noexcept {
    auto* self = static_cast<Lv2Instance*>(handle);
    if (!self) return;
    ApplyControls(*self);
    const double rate = self->brio.sampleRate;
    if (self->mapped) Lv2ReadPositions(self->events, self->urids, frames, rate, self->position);
    self->brio.transport = Lv2Transport(self->position);
    Process(*self, frames);
    Lv2AdvancePosition(self->position, frames, rate);
}

void Deactivate(LV2_Handle handle) noexcept {
    auto* self = static_cast<Lv2Instance*>(handle);
    if (self && self->brio.callbacks.suspend) self->brio.callbacks.suspend(&self->brio);
}

void Cleanup(LV2_Handle handle) noexcept {
    auto* self = static_cast<Lv2Instance*>(handle);
    if (!self) return;
    if (self->brio.callbacks.close) self->brio.callbacks.close(&self->brio);
    delete self;
}

const void* ExtensionData(const char* uri) noexcept {
    return uri && std::strcmp(uri, LV2_STATE__interface) == 0 ? Lv2StateInterface() : nullptr;
}

const LV2_Descriptor kDescriptor = {lv2port::kPluginUri, Instantiate, ConnectPort,  Activate, Run,
                                    Deactivate,          Cleanup,     ExtensionData};

} // namespace

const LV2_Descriptor* Lv2CrossfaderDescriptor() { return &kDescriptor; }
