// State: the effect's chunk as one property, through lilv and through the
// state interface directly, with the bytes a careless host may hand back.
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>

#include <cmath>
#include <cstring>

#include "support.h"

namespace {

struct Property {
    LV2_URID key;
    std::vector<std::uint8_t> bytes;
    std::uint32_t type, flags;
};

const LV2_State_Interface* Interface(lv2host::Instance& plugin) {
    return static_cast<const LV2_State_Interface*>(plugin.extensionData(LV2_STATE__interface));
}

LV2_State_Status Save(lv2host::Instance& plugin, std::vector<Property>& saved) {
    const auto store = [](LV2_State_Handle handle, std::uint32_t key, const void* value, std::size_t size,
                          std::uint32_t type, std::uint32_t flags) {
        const auto* bytes = static_cast<const std::uint8_t*>(value);
        static_cast<std::vector<Property>*>(handle)->push_back({key, {bytes, bytes + size}, type, flags});
        return LV2_STATE_SUCCESS;
    };
    return Interface(plugin)->save(lilv_instance_get_handle(plugin.lilv()), store, &saved, 0, nullptr);
}

std::vector<std::uint8_t> Chunk(lv2host::Instance& plugin) {
    std::vector<Property> saved;
    if (Save(plugin, saved) != LV2_STATE_SUCCESS || saved.size() != 1) return {};
    return saved[0].bytes;
}

// Hands the plug-in property for whatever key it asks; null for none.
LV2_State_Status Restore(lv2host::Instance& plugin, const Property* property) {
    const auto retrieve = [](LV2_State_Handle handle, std::uint32_t, std::size_t* size, std::uint32_t* type,
                             std::uint32_t* flags) -> const void* {
        const auto* p = static_cast<const Property*>(handle);
        if (!p) return nullptr;
        *size = p->bytes.size();
        *type = p->type;
        *flags = p->flags;
        return p->bytes.data();
    };
    return Interface(plugin)->restore(lilv_instance_get_handle(plugin.lilv()), retrieve,
                                      const_cast<Property*>(property), 0, nullptr);
}

std::uint32_t Urid(const char* uri) { return lv2test::TheWorld().urids().map(uri); }

// One run of the same signal through both; true when the outputs are the same bits.
bool RunBoth(lv2test::Lv2Rig& lv2, lv2test::VstRig& vst, std::uint32_t n = 256) {
    std::vector<float> in[2] = {lv2test::Signal(7, n), lv2test::Signal(8, n)}, out[2] = {in[0], in[1]};
    for (int c = 0; c < 2; ++c) std::copy(in[c].begin(), in[c].end(), lv2.in[c].begin());
    lv2->run(n);
    float* ins[2] = {in[0].data(), in[1].data()};
    float* outs[2] = {out[0].data(), out[1].data()};
    vst->process(ins, outs, static_cast<VstInt32>(n));
    return std::memcmp(lv2.out[0].data(), out[0].data(), n * sizeof(float)) == 0 &&
           std::memcmp(lv2.out[1].data(), out[1].data(), n * sizeof(float)) == 0;
}

const float kSettingA[6] = {4.2f, -6.1f, 0.62f, 0, 1, 2.5f};
const float kSettingB[6] = {-3.3f, 7.7f, 0.18f, 1, 0, -1.2f};

} // namespace

TEST(Lv2State, SavesTheVstChunkAsOnePortablePodProperty) {
    lv2test::Lv2Rig lv2;
    lv2test::VstRig vst;
    lv2test::Apply(*lv2.plugin, *vst.plugin, kSettingA);
    ASSERT_TRUE(RunBoth(lv2, vst));
    std::vector<Property> saved;
    ASSERT_EQ(Save(*lv2.plugin, saved), LV2_STATE_SUCCESS);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].type, Urid(LV2_ATOM__Chunk));
    EXPECT_EQ(saved[0].flags, static_cast<std::uint32_t>(LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));
    EXPECT_EQ(saved[0].bytes.size(), 260u);
    EXPECT_EQ(saved[0].bytes, vst->getChunk());
}

TEST(Lv2State, RoundTripThroughLilvRestoresPortsAndChunk) {
    lv2test::Lv2Rig a, b;
    lv2test::VstRig vst, restored;
    lv2test::Apply(*a.plugin, *vst.plugin, kSettingA);
    ASSERT_TRUE(RunBoth(a, vst));
    const std::string text = a->saveState();
    ASSERT_FALSE(text.empty());
    ASSERT_TRUE(b->restoreState(text));
    for (const char* symbol : lv2test::kControls) EXPECT_EQ(b->control(symbol), a->control(symbol)) << symbol;
    EXPECT_EQ(Chunk(*b.plugin), Chunk(*a.plugin));
    // As the VST 2.4 module sounds with the same chunk, then the same values.
    restored->setChunk(Chunk(*a.plugin));
    lv2test::Apply(*b.plugin, *restored.plugin, kSettingA);
    EXPECT_TRUE(RunBoth(b, restored));
}

TEST(Lv2State, PortsOverrideARestoredChunkOnTheNextRun) {
    lv2test::Lv2Rig lv2;
    lv2test::VstRig vstA, vstB;
    lv2test::Apply(*lv2.plugin, *vstA.plugin, kSettingA);
    ASSERT_TRUE(RunBoth(lv2, vstA));
    lv2test::Apply(*lv2.plugin, *vstB.plugin, kSettingB);
    const Property chunkB{0, vstB->getChunk(), Urid(LV2_ATOM__Chunk), LV2_STATE_IS_POD};
    lv2test::Apply(*lv2.plugin, *vstA.plugin, kSettingA); // the ports return to A
    ASSERT_EQ(Restore(*lv2.plugin, &chunkB), LV2_STATE_SUCCESS);
    EXPECT_EQ(Chunk(*lv2.plugin), chunkB.bytes);
    // Unchanged ports are applied again after a restore.
    EXPECT_TRUE(RunBoth(lv2, vstA));
    EXPECT_EQ(Chunk(*lv2.plugin), vstA->getChunk());
}

TEST(Lv2State, BadRestoresAreRefusedOrClamped) {
    lv2test::Lv2Rig lv2;
    lv2test::VstRig vst;
    lv2test::Apply(*lv2.plugin, *vst.plugin, kSettingA);
    ASSERT_TRUE(RunBoth(lv2, vst));
    const std::vector<std::uint8_t> before = Chunk(*lv2.plugin);
    const std::uint32_t chunk = Urid(LV2_ATOM__Chunk);

    EXPECT_EQ(Restore(*lv2.plugin, nullptr), LV2_STATE_ERR_NO_PROPERTY);
    const Property text{0, before, Urid(LV2_ATOM__String), LV2_STATE_IS_POD};
    EXPECT_EQ(Restore(*lv2.plugin, &text), LV2_STATE_ERR_BAD_TYPE);
    const Property empty{0, {}, chunk, LV2_STATE_IS_POD};
    EXPECT_NE(Restore(*lv2.plugin, &empty), LV2_STATE_SUCCESS);
    EXPECT_EQ(Chunk(*lv2.plugin), before);

    // Bytes the chunk rules ignore: too short, no marker.
    std::vector<std::uint8_t> noise(261);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (const auto& bytes : {std::vector<std::uint8_t>{1, 2, 3}, noise}) {
        const Property arbitrary{0, bytes, chunk, LV2_STATE_IS_POD};
        EXPECT_EQ(Restore(*lv2.plugin, &arbitrary), LV2_STATE_SUCCESS);
        EXPECT_EQ(Chunk(*lv2.plugin), before);
    }

    // A marked chunk whose values leave the sliders' ranges is clamped.
    float values[65] = {-1000.0f, 1e9f, NAN, -INFINITY, 0.5f, 7.0f, -99.0f};
    Property wild{0, std::vector<std::uint8_t>(sizeof values), chunk, LV2_STATE_IS_POD};
    std::memcpy(wild.bytes.data(), values, sizeof values);
    EXPECT_EQ(Restore(*lv2.plugin, &wild), LV2_STATE_SUCCESS);
    const std::vector<std::uint8_t> clamped = Chunk(*lv2.plugin);
    ASSERT_EQ(clamped.size(), 260u);
    float restored[7];
    std::memcpy(restored, clamped.data(), sizeof restored);
    const float expected[7] = {-1000.0f, 10.0f, 0.0f, 0.0f, 0.5f, 1.0f, -10.0f};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(restored[i], expected[i]) << i;
    EXPECT_TRUE(RunBoth(lv2, vst)); // and the ports rule again
}

TEST(Lv2State, WithoutUridMapItRunsAndStateAnswersAnError) {
    lv2host::InstanceOptions options;
    options.map = false;
    lv2test::Lv2Rig lv2(options);
    lv2test::VstRig vst;
    ASSERT_TRUE(lv2.plugin);
    lv2test::Apply(*lv2.plugin, *vst.plugin, kSettingB);
    EXPECT_TRUE(RunBoth(lv2, vst));
    std::vector<Property> saved;
    EXPECT_EQ(Save(*lv2.plugin, saved), LV2_STATE_ERR_NO_FEATURE);
    EXPECT_TRUE(saved.empty());
    const Property chunk{0, vst->getChunk(), 1, LV2_STATE_IS_POD};
    EXPECT_EQ(Restore(*lv2.plugin, &chunk), LV2_STATE_ERR_NO_FEATURE);
    EXPECT_TRUE(RunBoth(lv2, vst));
}
