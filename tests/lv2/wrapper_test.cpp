// What no host can observe from outside: the time the effect is handed and
// when control values reach it. Driven through the wrapper's descriptor.
#include <lv2/atom/forge.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <type_traits>

#include "core/brio_format.h"
#include "effect/tquill_effect.h"
#include "host/lv2/lv2host.h"
#include "plugin/lv2/lv2_instance.h"

namespace {

constexpr double kRate = 48000.0;
constexpr std::uint32_t kFrames = 480;

struct Direct {
    lv2host::UridMap urids;
    LV2_Feature map{LV2_URID__map, urids.mapFeature()};
    const LV2_Feature* features[2] = {&map, nullptr};
    const LV2_Descriptor* descriptor = Lv2CrossfaderDescriptor();
    Lv2Instance* self = nullptr;
    float in[2][kFrames] = {}, out[2][kFrames] = {}, controls[6] = {};
    alignas(8) std::uint8_t atoms[2048] = {};
    LV2_Atom_Forge forge;

    explicit Direct(bool withMap = true) {
        const LV2_Feature* none[] = {nullptr};
        self = static_cast<Lv2Instance*>(descriptor->instantiate(descriptor, kRate, "", withMap ? features : none));
        if (!self) return;
        for (std::uint32_t c = 0; c < 2; ++c) {
            descriptor->connect_port(self, c, in[c]);
            descriptor->connect_port(self, 2 + c, out[c]);
        }
        for (std::uint32_t k = 0; k < 6; ++k) descriptor->connect_port(self, 4 + k, &controls[k]);
        descriptor->connect_port(self, 10, atoms);
        descriptor->activate(self);
        lv2_atom_forge_init(&forge, urids.mapFeature());
        Events({});
    }
    ~Direct() {
        if (!self) return;
        descriptor->deactivate(self);
        descriptor->cleanup(self);
    }

    // The next run's sequence: one time:Position object per entry, whose
    // properties the entry's function forges.
    struct Event {
        std::int64_t frame;
        std::function<void(Direct&)> properties;
    };
    void Events(const std::vector<Event>& events) {
        lv2_atom_forge_set_buffer(&forge, atoms, sizeof atoms);
        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head(&forge, &sequence, 0);
        for (const Event& event : events) {
            lv2_atom_forge_frame_time(&forge, event.frame);
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_object(&forge, &object, 0, urids.map(LV2_TIME__Position));
            event.properties(*this);
            lv2_atom_forge_pop(&forge, &object);
        }
        lv2_atom_forge_pop(&forge, &sequence);
    }
    template <class T>
    void Put(const char* key, T value) {
        lv2_atom_forge_key(&forge, urids.map(key));
        if constexpr (std::is_same_v<T, float>) lv2_atom_forge_float(&forge, value);
        else if constexpr (std::is_same_v<T, double>) lv2_atom_forge_double(&forge, value);
        else if constexpr (std::is_same_v<T, std::int32_t>) lv2_atom_forge_int(&forge, value);
        else lv2_atom_forge_long(&forge, value);
    }

    void Run(std::uint32_t frames = kFrames) {
        descriptor->run(self, frames);
        Events({});
    }
    TQuillEffect& Effect() { return *static_cast<TQuillEffect*>(self->brio.effect); }
};

} // namespace

TEST(Lv2Wrapper, TimePositionsBecomeTheEffectsHostTime) {
    Direct d;
    ASSERT_NE(d.self, nullptr);
    d.Run();
    EXPECT_FALSE(d.self->brio.transport.present);

    d.Events({{0, [](Direct& x) {
                   x.Put(LV2_TIME__beatsPerMinute, 140.0f);
                   x.Put(LV2_TIME__beatsPerBar, 3.0f);
                   x.Put(LV2_TIME__beatUnit, std::int32_t{8});
                   x.Put(LV2_TIME__speed, 1.0f);
                   x.Put(LV2_TIME__bar, std::int64_t{2});
                   x.Put(LV2_TIME__barBeat, 1.5f);
               }}});
    d.Run();
    const BrioTransport& t = d.self->brio.transport;
    EXPECT_TRUE(t.present && t.playing && !t.recording);
    EXPECT_EQ(t.tempo, 140.0);
    EXPECT_EQ(t.numerator, 3.0);
    EXPECT_EQ(t.denominator, 8.0);
    EXPECT_EQ(t.ppqPos, (2 * 3 + 1.5) * 4 / 8); // eighth-note beats
    EXPECT_EQ(d.Effect().hostTempo, 140.0);
    EXPECT_EQ(d.Effect().hostTimeSigDenominator, 8.0);
    EXPECT_EQ(d.Effect().playState, 1.0);
    EXPECT_EQ(d.Effect().beatPosition, t.ppqPos);

    // No event: the position rolls on with the tempo.
    const double beatsPerFrame = 140.0 / 60.0 / kRate;
    d.Run();
    EXPECT_NEAR(t.ppqPos, (7.5 + kFrames * beatsPerFrame) * 4 / 8, 1e-12);

    // time:beat alone; an event late in a run is carried back to its start.
    d.Events({{240, [](Direct& x) { x.Put(LV2_TIME__beat, 10.0); }}});
    d.Run();
    EXPECT_NEAR(t.ppqPos, (10.0 - 240 * beatsPerFrame) * 4 / 8, 1e-12);
    d.Events({{0, [](Direct& x) { x.Put(LV2_TIME__speed, 0.0f); }}});
    d.Run();
    EXPECT_FALSE(t.playing);
    EXPECT_EQ(d.Effect().playState, 0.0);
    EXPECT_EQ(t.ppqPos, d.Effect().beatPosition);
}

TEST(Lv2Wrapper, MalformedEventsAreSkippedAndTimeNeedsAMap) {
    Direct d;
    ASSERT_NE(d.self, nullptr);
    d.Events({{0, [](Direct& x) { x.Put(LV2_TIME__beatsPerMinute, 90.0f); }},
              {0, [](Direct& x) { x.Put(LV2_TIME__beatsPerMinute, 60.0f); }}});
    // The second event's property claims more than its object holds, the
    // second event more than the sequence: neither is read.
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(d.atoms);
    auto* first = lv2_atom_sequence_begin(&sequence->body);
    auto* second = lv2_atom_sequence_next(first);
    reinterpret_cast<LV2_Atom_Property_Body*>(reinterpret_cast<LV2_Atom_Object*>(&second->body) + 1)->value.size = 1000;
    d.descriptor->run(d.self, kFrames);
    EXPECT_EQ(d.self->brio.transport.tempo, 90.0);
    second->body.size = 1u << 31;
    d.descriptor->run(d.self, kFrames);
    EXPECT_EQ(d.self->brio.transport.tempo, 90.0);

    Direct unmapped(false);
    ASSERT_NE(unmapped.self, nullptr);
    std::memcpy(unmapped.atoms, d.atoms, sizeof d.atoms);
    unmapped.descriptor->run(unmapped.self, kFrames);
    EXPECT_FALSE(unmapped.self->brio.transport.present);
}

TEST(Lv2Wrapper, ControlsReachTheEffectOnlyWhenChangedOrAfterActivation) {
    Direct d;
    ASSERT_NE(d.self, nullptr);
    d.controls[0] = 3.0f;
    d.Run();
    const double applied = BrioSliderValue(&d.self->brio, 0);
    EXPECT_NEAR(applied, 3.0, 1e-9);
    // An unchanged port is not handed over again...
    BrioSetPlain(&d.self->brio, 0, -5.0);
    d.Run();
    EXPECT_NEAR(BrioSliderValue(&d.self->brio, 0), -5.0, 1e-9);
    // ...until the instance is activated again.
    d.descriptor->deactivate(d.self);
    d.descriptor->activate(d.self);
    d.Run();
    EXPECT_EQ(BrioSliderValue(&d.self->brio, 0), applied);
    d.controls[0] = 4.0f;
    d.Run();
    EXPECT_NEAR(BrioSliderValue(&d.self->brio, 0), 4.0, 1e-9);
}
