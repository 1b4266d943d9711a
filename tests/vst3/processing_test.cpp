// Processing against the VST 2.4 module: bit for bit at every block size in
// both sample sizes, each queued point a step at its own offset, parameter
// flushes, in-place buffers, and the host's process context.
#include "support.h"

using namespace vst3test;

namespace {

const float kSettings[][6] = {
    {0.5f, 0.5f, 0.0f, 0, 0, 0.5f},  {0.5f, 0.5f, 1.0f, 0, 0, 0.5f},       {0.5f, 0.5f, 0.5f, 0, 0, 0.5f},
    {0.0f, 1.0f, 0.37f, 0, 0, 1.0f}, {0.73f, 0.21f, 0.66f, 1, 0, 0.05f},   {0.31f, 0.9f, 0.5f, 0, 1, 0.77f},
    {0.5f, 0.5f, 0.5f, 1, 1, 0.5f},  {0.123f, 0.877f, 0.999f, 0, 0, 0.4f},
};

template <class Sample>
constexpr int32 SampleSize() {
    return sizeof(Sample) == sizeof(float) ? kSample32 : kSample64;
}

struct Change {
    ParamID id;
    int32 offset;
    float value;
};

// The VST 2.4 module over the same frames, cut at each change (sorted by
// offset) and the change set in between: what a step at that offset means.
template <class Sample>
void ReferenceInPieces(Vst2& reference, Channels<Sample>& in, Channels<Sample>& out,
                       const std::vector<Change>& changes) {
    const auto frames = static_cast<int32>(in[0].size());
    int32 position = 0;
    std::size_t next = 0;
    while (position < frames || next < changes.size()) {
        const int32 end = next < changes.size() ? std::min(changes[next].offset, frames) : frames;
        if (end > position) {
            Sample* ins[2] = {in[0].data() + position, in[1].data() + position};
            Sample* outs[2] = {out[0].data() + position, out[1].data() + position};
            if constexpr (sizeof(Sample) == sizeof(float)) reference.plugin->process(ins, outs, end - position);
            else reference.plugin->processDouble(ins, outs, end - position);
            position = end;
        }
        if (next == changes.size()) break;
        reference.plugin->setParameter(static_cast<VstInt32>(changes[next].id), changes[next].value);
        ++next;
    }
}

template <class Sample>
void CompareWithVst2(int32 block) {
    SCOPED_TRACE(testing::Message() << "block " << block << ", " << sizeof(Sample) * 8 << "-bit");
    Vst3 rig;
    Vst2 reference;
    ASSERT_TRUE(rig.start(44100.0, 4096, SampleSize<Sample>()) && reference.plugin);
    const int32 calls = std::max(2, 2048 / block);
    std::uint32_t seed = 1;
    for (const auto& setting : kSettings)
        for (int32 call = 0; call < calls; ++call) {
            auto in = Input<Sample>(seed++, static_cast<std::size_t>(block));
            auto out = Output<Sample>(static_cast<std::size_t>(block)), expected = out;
            vst3host::ParameterChanges changes;
            for (ParamID k = 0; k < 6 && call == 0; ++k) {
                changes.add(k, 0, setting[k]);
                reference.plugin->setParameter(static_cast<VstInt32>(k), setting[k]);
            }
            ASSERT_EQ(rig.process(in, out, &changes), kResultOk);
            reference.process(in, expected);
            ASSERT_TRUE(SameBits(out, expected)) << "call " << call;
        }
}

template <class Sample>
void CompareSteps(vst3host::ParameterChanges& sent, const std::vector<Change>& effective, int32 frames) {
    Vst3 rig;
    Vst2 reference;
    ASSERT_TRUE(rig.start(44100.0, 512, SampleSize<Sample>()) && reference.plugin);
    for (int32 call = 0; call < 2; ++call) {
        auto in = Input<Sample>(11 + call, static_cast<std::size_t>(frames));
        auto out = Output<Sample>(static_cast<std::size_t>(frames)), expected = out;
        ASSERT_EQ(rig.process(in, out, call == 0 ? &sent : nullptr), kResultOk);
        ReferenceInPieces(reference, in, expected, call == 0 ? effective : std::vector<Change>{});
        ASSERT_TRUE(SameBits(out, expected)) << sizeof(Sample) * 8 << "-bit, call " << call;
    }
}

} // namespace

TEST(Processing, BitIdenticalWithTheVst2ModuleAtEveryBlockSize) {
    for (int32 block : {1, 300, 512, 4096}) {
        CompareWithVst2<float>(block);
        CompareWithVst2<double>(block);
    }
}

TEST(Processing, EachQueuedPointIsAStepAtItsOwnOffset) {
    const std::vector<Change> points = {{2, 0, 0.0f},   {2, 37, 1.0f},  {5, 100, 0.8f}, {3, 150, 1.0f},
                                        {3, 151, 0.0f}, {2, 200, 0.5f}, {0, 200, 0.25f}};
    vst3host::ParameterChanges changes;
    for (const Change& p : points) changes.add(p.id, p.offset, p.value);
    changes.add(77, 10, 1.0); // no such parameter: ignored
    CompareSteps<float>(changes, points, 256);
    CompareSteps<double>(changes, points, 256);
}

TEST(Processing, OffsetsAreClampedIntoTheBlockAndUnreadablePointsSkipped) {
    vst3host::ParameterChanges changes;
    changes.add(0, -5, 0.2f); // before the block: its start
    changes.add(0, 30, 0.9f); // the host cannot read this one
    changes.add(0, 40, 0.7f);
    changes.add(1, 50, 0.3f);
    changes.add(1, 20, 0.6f);   // back in time: where the queue already is
    changes.add(5, 1000, 0.9f); // past the block: after its last frame
    changes.queue(0)->failingPoint = 1;
    const std::vector<Change> effective = {{0, 0, 0.2f}, {0, 40, 0.7f}, {1, 50, 0.3f}, {1, 50, 0.6f}, {5, 64, 0.9f}};
    CompareSteps<float>(changes, effective, 64);
    CompareSteps<double>(changes, effective, 64);
}

TEST(Processing, AFlushWithoutAudioTakesTheChanges) {
    Vst3 rig;
    Vst2 reference;
    ASSERT_TRUE(rig.start(44100.0, 512) && reference.plugin);
    vst3host::ParameterChanges first, second;
    first.add(2, 0, 0.5);
    second.add(5, 0, 0.75);
    ProcessData data{};
    data.inputParameterChanges = &first;
    ASSERT_EQ(rig.processor->process(&data), kResultOk);
    EXPECT_EQ(rig.controller->getParamNormalized(2), 0.5);
    AudioBusBuffers empty[2] = {};
    data.numSamples = 128;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &empty[0];
    data.outputs = &empty[1];
    data.inputParameterChanges = &second;
    ASSERT_EQ(rig.processor->process(&data), kResultOk);
    EXPECT_EQ(rig.controller->getParamNormalized(5), 0.75);

    reference.plugin->setParameter(2, 0.5f);
    reference.plugin->setParameter(5, 0.75f);
    auto in = Input<float>(5, 300);
    auto out = Output<float>(300), expected = out;
    ASSERT_EQ(rig.process(in, out), kResultOk);
    reference.process(in, expected);
    EXPECT_TRUE(SameBits(out, expected));
}

TEST(Processing, InPlaceBuffersAndAnyProcessContextGiveTheSameOutput) {
    Vst3 rig32, rig64;
    Vst2 reference;
    ASSERT_TRUE(rig32.start(48000.0, 512) && rig64.start(48000.0, 512, kSample64) && reference.plugin);
    for (auto* rig : {&rig32, &rig64}) {
        vst3host::ParameterChanges changes;
        changes.add(2, 0, 0.5);
        changes.add(0, 0, 0.3);
        auto in = Input<float>(1, 8);
        auto out = Output<float>(8);
        rig->process(in, out, &changes);
    }
    reference.plugin->setParameter(2, 0.5f);
    reference.plugin->setParameter(0, 0.3f);
    ProcessContext full{};
    full.state = 0xFFFFFFFF;
    full.sampleRate = 48000.0;
    full.tempo = 120.0;
    full.timeSigNumerator = 4;
    full.timeSigDenominator = 4;
    full.projectTimeMusic = 3.5;
    ProcessContext odd = full;
    odd.state = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kTimeSigValid;
    odd.tempo = NAN;
    odd.timeSigDenominator = 0;
    for (ProcessContext* context : {&full, &odd, static_cast<ProcessContext*>(nullptr)}) {
        auto in = Input<float>(9, 512);
        auto expected = Output<float>(512);
        reference.process(in, expected);
        auto buffer = in;
        ASSERT_EQ(rig32.process(buffer, buffer, nullptr, context), kResultOk);
        EXPECT_TRUE(SameBits(buffer, expected));
        Channels<double> dIn = {{in[0].begin(), in[0].end()}, {in[1].begin(), in[1].end()}}, dExpected = dIn;
        reference.process(dIn, dExpected);
        ASSERT_EQ(rig64.process(dIn, dIn, nullptr, context), kResultOk);
        EXPECT_TRUE(SameBits(dIn, dExpected));
    }
}
