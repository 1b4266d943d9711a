// The processor's state through the host's streams: round trips, streams that
// move in parts, bad and short streams, clamping, the controller following the
// component state, and a state loaded while processing.
#include "support.h"

using namespace vst3test;

namespace {

const float kSetting[6] = {0.73f, 0.21f, 0.66f, 1, 0, 0.05f};

void Apply(Vst3& rig, const float (&setting)[6]) {
    vst3host::ParameterChanges changes;
    for (ParamID k = 0; k < 6; ++k) changes.add(k, 0, setting[k]);
    auto in = Input<float>(2, 16);
    auto out = Output<float>(16);
    ASSERT_EQ(rig.process(in, out, &changes), kResultOk);
}

std::vector<double> Values(Vst3& rig) {
    std::vector<double> values;
    for (ParamID k = 0; k < 6; ++k) values.push_back(rig.controller->getParamNormalized(k));
    return values;
}

// One call that loads nothing, so that a state waiting for the audio thread takes effect.
void Tick(Vst3& rig) {
    auto in = Input<float>(3, 4);
    auto out = Output<float>(4);
    rig.process(in, out);
}

} // namespace

TEST(State, RoundTripIsTheVst2ChunkAndRestoresEverything) {
    Vst3 source, restored;
    Vst2 reference;
    ASSERT_TRUE(source.start() && restored.ok() && reference.plugin);
    Apply(source, kSetting);
    for (int k = 0; k < 6; ++k) reference.plugin->setParameter(k, kSetting[k]);
    const auto saved = source.getState();
    ASSERT_EQ(saved.size(), 260u);
    EXPECT_EQ(saved, reference.plugin->getChunk());

    // Restored sliders hold the chunk's floats: the VST 2.4 module restores the same chunk to compare.
    ASSERT_EQ(restored.setState(saved), kResultOk) << "before any setup";
    reference.plugin->setChunk(saved);
    EXPECT_EQ(restored.getState(), saved);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(static_cast<float>(Values(restored)[k]), reference.plugin->getParameter(k)) << k;
    ASSERT_TRUE(restored.start());
    auto in = Input<double>(4, 700);
    auto out = Output<double>(700), expected = out;
    ASSERT_EQ(restored.process(in, out), kResultOk);
    reference.process(in, expected);
    EXPECT_TRUE(SameBits(out, expected));
}

TEST(State, WrittenAndReadAtTheStreamsPositionInParts) {
    Vst3 source, restored;
    ASSERT_TRUE(source.start() && restored.ok());
    Apply(source, kSetting);
    const auto saved = source.getState();
    vst3host::MemoryStream out(std::vector<std::uint8_t>(10, 'h'));
    out.position = 10;
    out.writeLimit = 7;
    ASSERT_EQ(source.component->getState(&out), kResultOk);
    ASSERT_EQ(out.bytes.size(), 270u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.bytes.begin(), out.bytes.begin() + 10), std::vector<std::uint8_t>(10, 'h'));
    EXPECT_EQ(std::vector<std::uint8_t>(out.bytes.begin() + 10, out.bytes.end()), saved);

    out.bytes.insert(out.bytes.end(), 5, 't');
    vst3host::MemoryStream in(out.bytes);
    in.position = 10;
    in.readLimit = 3;
    ASSERT_EQ(restored.component->setState(&in), kResultOk);
    EXPECT_EQ(in.position, 270) << "the host's bytes after the state stay unread";
    EXPECT_EQ(restored.getState(), saved);
}

TEST(State, BadStreamsAreRefusedAndChangeNothing) {
    Vst3 rig;
    ASSERT_TRUE(rig.start());
    Apply(rig, kSetting);
    const auto before = rig.getState();
    const auto values = Values(rig);
    const std::vector<std::vector<std::uint8_t>> bad = {
        {}, {0x00}, {0x00, 0x00, 0x7A}, Chunk(std::vector<float>(65, 0.0f)), Chunk({-999.0f, 1, 2, 3})};
    for (const auto& bytes : bad) {
        vst3host::MemoryStream forProcessor(bytes), forController(bytes);
        EXPECT_EQ(rig.component->setState(&forProcessor), kResultFalse) << bytes.size();
        EXPECT_EQ(rig.controller->setComponentState(&forController), kResultFalse) << bytes.size();
    }
    vst3host::MemoryStream failing(before);
    failing.failFrom = 0;
    EXPECT_EQ(rig.component->setState(&failing), kResultFalse);
    EXPECT_NE(rig.component->setState(nullptr), kResultOk);
    EXPECT_NE(rig.controller->setComponentState(nullptr), kResultOk);
    EXPECT_NE(rig.component->getState(nullptr), kResultOk);
    vst3host::MemoryStream full;
    full.failFrom = 100;
    EXPECT_NE(rig.component->getState(&full), kResultOk);
    Tick(rig);
    EXPECT_EQ(rig.getState(), before);
    EXPECT_EQ(Values(rig), values);
}

TEST(State, AShortStreamAfterTheMarkerRestoresWhatItHolds) {
    Vst3 rig;
    ASSERT_TRUE(rig.start());
    Apply(rig, kSetting);
    const auto before = rig.getState();
    const auto values = Values(rig);
    auto bytes = Chunk({kMarker, 3.0f, -4.0f});
    bytes.push_back(1); // a partial element, ignored
    ASSERT_EQ(rig.setState(bytes), kResultOk);
    Tick(rig);
    auto after = rig.getState();
    EXPECT_EQ(Element(after, 1), 3.0f);
    EXPECT_EQ(Element(after, 2), -4.0f);
    for (std::size_t n = 3; n <= 64; ++n) EXPECT_EQ(Element(after, n), Element(before, n)) << n;
    EXPECT_DOUBLE_EQ(rig.controller->getParamNormalized(0), 0.65);
    EXPECT_DOUBLE_EQ(rig.controller->getParamNormalized(1), 0.3);
    for (ParamID k = 2; k < 6; ++k) EXPECT_EQ(rig.controller->getParamNormalized(k), values[k]);

    // A stream that fails after the marker and one element holds just that element.
    vst3host::MemoryStream failing(Chunk({kMarker, 5.0f, 5.0f, 0.5f}));
    failing.failFrom = 8;
    ASSERT_EQ(rig.component->setState(&failing), kResultOk);
    Tick(rig);
    after = rig.getState();
    EXPECT_EQ(Element(after, 1), 5.0f);
    EXPECT_EQ(Element(after, 2), -4.0f);
}

TEST(State, LoadedValuesAreClampedIntoTheirRanges) {
    Vst3 rig, controllerOnly;
    ASSERT_TRUE(rig.start() && controllerOnly.ok());
    const auto bytes = Chunk({kMarker, 50.0f, NAN, -3.0f, 7.0f, 0.5f, -11.0f});
    ASSERT_EQ(rig.setState(bytes), kResultOk);
    Tick(rig);
    const auto after = rig.getState();
    const float expected[6] = {10.0f, 0.0f, 0.0f, 1.0f, 0.5f, -10.0f};
    const std::vector<double> normalised = {1.0, 0.5, 0.0, 1.0, 0.5, 0.0};
    for (std::size_t n = 1; n <= 6; ++n) EXPECT_EQ(Element(after, n), expected[n - 1]) << n;
    EXPECT_EQ(Values(rig), normalised);
    vst3host::MemoryStream stream(bytes);
    ASSERT_EQ(controllerOnly.controller->setComponentState(&stream), kResultOk);
    EXPECT_EQ(Values(controllerOnly), normalised);
}

TEST(State, TheControllerFollowsTheComponentStateAndKeepsNoneOfItsOwn) {
    Vst3 source, view;
    ASSERT_TRUE(source.start() && view.ok());
    Apply(source, kSetting);
    const auto bytes = source.getState();
    vst3host::MemoryStream saved(bytes);
    ASSERT_EQ(view.controller->setComponentState(&saved), kResultOk);
    auto values = Values(view);
    for (ParamID k = 0; k < 6; ++k) EXPECT_NEAR(values[k], source.controller->getParamNormalized(k), 1e-6) << k;
    // What the controller shows is what the processor holds once it loads the same state.
    ASSERT_EQ(view.setState(bytes), kResultOk);
    EXPECT_EQ(Values(view), values);
    vst3host::MemoryStream shorter(Chunk({kMarker, 10.0f}));
    ASSERT_EQ(view.controller->setComponentState(&shorter), kResultOk);
    values[0] = 1.0;
    EXPECT_EQ(Values(view), values);

    // Through the controller's table, getState and setState carry nothing.
    vst3host::MemoryStream controllerState;
    EXPECT_EQ(view.controller->getState(&controllerState), kResultOk);
    EXPECT_TRUE(controllerState.bytes.empty());
    const auto processorState = view.getState();
    EXPECT_EQ(processorState.size(), 260u);
    vst3host::MemoryStream other(Chunk({kMarker, -10.0f}));
    EXPECT_EQ(view.controller->setState(&other), kResultOk);
    EXPECT_EQ(view.getState(), processorState);
}

TEST(State, AStateLoadedWhileProcessingAppliesFromTheNextCallsFirstFrame) {
    Vst3 rig;
    Vst2 reference;
    ASSERT_TRUE(rig.start() && reference.plugin);
    Tick(rig);
    for (int k = 0; k < 6; ++k) reference.plugin->setParameter(k, kSetting[k]);
    const auto target = reference.plugin->getChunk();
    reference.plugin->setChunk(target);
    ASSERT_EQ(rig.setState(target), kResultOk);
    EXPECT_EQ(rig.getState(), target) << "what the next call will load";
    auto in = Input<float>(8, 512);
    auto out = Output<float>(512), expected = out;
    ASSERT_EQ(rig.process(in, out), kResultOk);
    reference.process(in, expected);
    EXPECT_TRUE(SameBits(out, expected));
    for (int k = 0; k < 6; ++k) EXPECT_EQ(static_cast<float>(Values(rig)[k]), reference.plugin->getParameter(k)) << k;

    // Once processing stops, a load applies at once.
    ASSERT_EQ(rig.processor->setProcessing(0), kResultOk);
    ASSERT_EQ(rig.setState(Chunk({kMarker, 10.0f})), kResultOk);
    EXPECT_EQ(rig.controller->getParamNormalized(0), 1.0);
}
