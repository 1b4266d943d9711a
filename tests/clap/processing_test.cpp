// Processing: the same bits as the VST 2.4 module, parameter events at their
// own frames, transport, and process calls a host should never make.
#include <cmath>
#include <limits>

#include "support.h"

using namespace clap_contract;

namespace {

template <class Sample>
class ClapProcessing : public ::testing::Test {};
using Widths = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ClapProcessing, Widths);

Setting With(Setting setting, clap_id id, float value) {
    setting.values[id] = value;
    return setting;
}

template <class Sample>
::testing::AssertionResult Matches(const std::vector<std::vector<Sample>>& got,
                                   const std::vector<std::vector<Sample>>& want, std::size_t from = 0,
                                   std::size_t to = static_cast<std::size_t>(-1)) {
    for (int c = 0; c < 2; ++c)
        if (!SameBits(got[c], want[c], from, to))
            return ::testing::AssertionFailure() << "channel " << c << " differs in [" << from << ", " << to << ")";
    return ::testing::AssertionSuccess();
}

} // namespace

// Every setting arrives as events at frame 0 of a block; the blocks that
// follow carry none. Output equals the VST 2.4 module's, bit for bit.
TYPED_TEST(ClapProcessing, BitIdenticalToTheVst2ModuleAtEverySettingAndBlockSize) {
    using Sample = TypeParam;
    for (std::uint32_t block : {1u, 300u, 512u, 4096u}) {
        Clap clap;
        ASSERT_TRUE(clap->start(44100.0, kMaxFrames));
        Vst2 vst2;
        const std::uint32_t blocks = std::max(2u, 1024u / block);
        std::uint32_t seed = block;
        for (const Setting& setting : Settings()) {
            ApplySetting(vst2, setting);
            for (std::uint32_t b = 0; b < blocks; ++b) {
                const auto in = Signal<Sample>(++seed, block);
                auto copy = in;
                auto out = Blank<Sample>(block);
                EventList events;
                if (b == 0) AddSetting(events, *clap, setting);
                ASSERT_EQ(clap->process(copy, out, &events), CLAP_PROCESS_CONTINUE);
                ASSERT_TRUE(Matches(out, Vst2Output(vst2, in)))
                    << "block " << block << " setting " << &setting - &Settings()[0];
                ASSERT_TRUE(Matches(copy, in)); // inputs are read only
            }
        }
    }
}

TYPED_TEST(ClapProcessing, InPlaceGivesTheSameAsSeparateBuffers) {
    using Sample = TypeParam;
    Clap clap;
    ASSERT_TRUE(clap->start());
    EventList events;
    AddSetting(events, *clap, Settings()[5]);
    clap->flush(events);
    auto in = Signal<Sample>(3, 1001), out = Blank<Sample>(1001);
    clap->process(in, out);
    EXPECT_EQ(clap->process(in, in), CLAP_PROCESS_CONTINUE);
    EXPECT_TRUE(Matches(in, out));
}

// Frames before an event's frame have the old setting's output, frames from it the new one's.
TYPED_TEST(ClapProcessing, AnEventTakesEffectExactlyAtItsFrame) {
    using Sample = TypeParam;
    constexpr std::uint32_t n = 512;
    Clap clap;
    ASSERT_TRUE(clap->start());
    Vst2 vst2;
    const Setting before = Settings()[2], after = Settings()[4];
    for (std::uint32_t k : {1u, 37u, 256u, 511u}) {
        EventList first;
        AddSetting(first, *clap, before);
        auto warm = Signal<Sample>(k + 1000, n), sink = Blank<Sample>(n);
        clap->process(warm, sink, &first);

        auto in = Signal<Sample>(k, n), out = Blank<Sample>(n);
        EventList events;
        AddSetting(events, *clap, after, k);
        ASSERT_EQ(clap->process(in, out, &events), CLAP_PROCESS_CONTINUE);
        ApplySetting(vst2, before);
        const auto old = Vst2Output(vst2, in);
        ApplySetting(vst2, after);
        const auto now = Vst2Output(vst2, in);
        ASSERT_FALSE(Matches(old, now, k, k + 1)); // the change is audible at frame k
        EXPECT_TRUE(Matches(out, old, 0, k)) << k;
        EXPECT_TRUE(Matches(out, now, k, n)) << k;
    }
}

// Several events in one block, one out of order and one past the end: the
// early one waits for the frame the block has reached, the late one for the end.
TYPED_TEST(ClapProcessing, EventsOutOfOrderOrPastTheBlockApplyAtTheNextFrameStillToCome) {
    using Sample = TypeParam;
    constexpr std::uint32_t n = 512;
    Clap clap;
    ASSERT_TRUE(clap->start());
    Vst2 vst2;
    const Setting s0 = Settings()[2];
    const Setting s1 = With(s0, 2, 0.25f);
    const Setting s2 = With(With(With(s1, 0, 0.8f), 5, 0.3f), 3, 1.0f);
    const Setting s3 = With(s2, 1, 0.1f);
    EventList first;
    AddSetting(first, *clap, s0);
    clap->flush(first);

    EventList events;
    events.addParamValue(100, 2, PlainFor(*clap, 2, 0.25f));
    events.addParamValue(200, 0, PlainFor(*clap, 0, 0.8f));
    events.addParamValue(200, 5, PlainFor(*clap, 5, 0.3f));
    events.addParamValue(150, 3, 1.0);                      // sorted wrongly: applies at 200
    events.addParamValue(900, 1, PlainFor(*clap, 1, 0.1f)); // past the block: applies after frame 511
    auto in = Signal<Sample>(7, n), out = Blank<Sample>(n);
    ASSERT_EQ(clap->process(in, out, &events), CLAP_PROCESS_CONTINUE);
    ApplySetting(vst2, s0);
    EXPECT_TRUE(Matches(out, Vst2Output(vst2, in), 0, 100));
    ApplySetting(vst2, s1);
    EXPECT_TRUE(Matches(out, Vst2Output(vst2, in), 100, 200));
    ApplySetting(vst2, s2);
    EXPECT_TRUE(Matches(out, Vst2Output(vst2, in), 200, n));

    auto next = Signal<Sample>(8, n);
    clap->process(next, out);
    ApplySetting(vst2, s3);
    EXPECT_TRUE(Matches(out, Vst2Output(vst2, next)));
    EXPECT_NEAR(*clap->value(1), -8.0, 1e-12);
}

// The transport feeds only the block section's host copies, which no output
// depends on: with it, without it, or with nonsense in it, the same bits.
TYPED_TEST(ClapProcessing, TransportPresentAbsentOrNonsenseLeavesTheOutputAsVst2s) {
    using Sample = TypeParam;
    Clap clap;
    ASSERT_TRUE(clap->start());
    Vst2 vst2;
    EventList events;
    AddSetting(events, *clap, Settings()[7]);
    clap->flush(events);
    ApplySetting(vst2, Settings()[7]);

    clap_event_transport playing{};
    playing.header = {sizeof playing, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    playing.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE | CLAP_TRANSPORT_HAS_TIME_SIGNATURE |
                    CLAP_TRANSPORT_IS_PLAYING | CLAP_TRANSPORT_IS_RECORDING;
    playing.tempo = 133.0;
    playing.song_pos_beats = 25 * (CLAP_BEATTIME_FACTOR / 2);
    playing.tsig_num = 7;
    playing.tsig_denom = 8;
    clap_event_transport nonsense = playing;
    nonsense.flags = 0xFFFFFFFFu;
    nonsense.tempo = std::numeric_limits<double>::quiet_NaN();
    nonsense.song_pos_beats = std::numeric_limits<std::int64_t>::min();
    nonsense.tsig_denom = 0;
    clap_event_transport stopped{};
    stopped.header = playing.header;

    std::uint32_t seed = 20;
    const clap_event_transport* transports[] = {nullptr, &playing, &nonsense, &stopped, &playing};
    for (const clap_event_transport* transport : transports) {
        auto in = Signal<Sample>(++seed, 256), out = Blank<Sample>(256);
        ASSERT_EQ(clap->process(in, out, nullptr, transport), CLAP_PROCESS_CONTINUE);
        EXPECT_TRUE(Matches(out, Vst2Output(vst2, in))) << seed;
    }
}

// Non-finite input is stored as 0 at every step, as in the VST 2.4 module.
TYPED_TEST(ClapProcessing, NonFiniteInputGivesFiniteOutput) {
    using Sample = TypeParam;
    Clap clap;
    ASSERT_TRUE(clap->start());
    Vst2 vst2;
    auto in = Signal<Sample>(5, 8), out = Blank<Sample>(8);
    in[0][1] = std::numeric_limits<Sample>::quiet_NaN();
    in[1][2] = std::numeric_limits<Sample>::infinity();
    in[0][3] = -std::numeric_limits<Sample>::infinity();
    in[1][4] = std::numeric_limits<Sample>::max();
    clap->process(in, out);
    for (const auto& channel : out)
        for (Sample x : channel) EXPECT_TRUE(std::isfinite(x));
    EXPECT_TRUE(Matches(out, Vst2Output(vst2, in)));
}

namespace {

// A process call built by hand, for calls no well-behaved host makes.
struct RawCall {
    float a[2][8] = {{1, 2, 3, 4, 5, 6, 7, 8}, {8, 7, 6, 5, 4, 3, 2, 1}};
    float b[2][8] = {};
    double d[2][8] = {};
    float* in32[2] = {a[0], a[1]};
    float* out32[2] = {b[0], b[1]};
    double* out64[2] = {d[0], d[1]};
    clap_audio_buffer input{}, output{};
    clap_process call{};

    RawCall() {
        input.data32 = in32;
        input.channel_count = 2;
        output.data32 = out32;
        output.channel_count = 2;
        call.frames_count = 8;
        call.audio_inputs = &input;
        call.audio_outputs = &output;
        call.audio_inputs_count = call.audio_outputs_count = 1;
        call.steady_time = -1;
        for (auto& channel : b)
            for (float& x : channel) x = 9;
        for (auto& channel : d)
            for (double& x : channel) x = 9;
    }
    bool silent32() const {
        for (const auto& channel : b)
            for (float x : channel)
                if (x != 0.0f) return false;
        return true;
    }
    bool untouched32() const {
        for (const auto& channel : b)
            for (float x : channel)
                if (x != 9.0f) return false;
        return true;
    }
};

std::uint32_t CLAP_ABI ThreeEvents(const clap_input_events*) { return 3; }
const clap_event_header* CLAP_ABI NoEvent(const clap_input_events*, std::uint32_t) { return nullptr; }

} // namespace

TEST(ClapProcessingSafety, CallsWithoutUsableBuffersWriteNothingOutsideAndNeverCrash) {
    Clap clap;
    ASSERT_TRUE(clap->start(44100.0, 8));
    const clap_plugin* plugin = clap->plugin();
    EXPECT_EQ(plugin->process(plugin, nullptr), CLAP_PROCESS_ERROR);
    {
        RawCall raw; // no event lists at all
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_CONTINUE);
        EXPECT_EQ(raw.b[0][1], 2.0f);
    }
    {
        RawCall raw;
        raw.call.frames_count = 0;
        EventList events;
        events.addParamValue(0, 0, -10.0); // still applied
        raw.call.in_events = events.input();
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_CONTINUE);
        EXPECT_TRUE(raw.untouched32());
        EXPECT_EQ(clap->value(0), -10.0);
    }
    {
        RawCall raw;
        raw.input.channel_count = 1;
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_ERROR);
        EXPECT_TRUE(raw.silent32());
    }
    {
        RawCall raw;
        raw.call.audio_inputs_count = 0;
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_ERROR);
        EXPECT_TRUE(raw.silent32());
    }
    {
        RawCall raw;
        raw.in32[1] = nullptr;
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_ERROR);
        EXPECT_TRUE(raw.silent32());
    }
    {
        RawCall raw; // a 32-bit input with a 64-bit output: the widths must agree
        raw.output.data32 = nullptr;
        raw.output.data64 = raw.out64;
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_ERROR);
        EXPECT_EQ(raw.d[1][7], 0.0);
    }
    {
        RawCall raw;
        raw.call.audio_outputs_count = 0;
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_ERROR);
        EXPECT_TRUE(raw.untouched32());
        raw.call.audio_outputs_count = 1;
        raw.call.audio_outputs = nullptr;
        raw.call.audio_inputs = nullptr;
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_ERROR);
    }
    {
        RawCall raw; // a list that answers no event for an index it counts
        const clap_input_events holes = {nullptr, ThreeEvents, NoEvent};
        raw.call.in_events = &holes;
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_CONTINUE);
        const clap_input_events empty = {nullptr, nullptr, nullptr};
        raw.call.in_events = &empty;
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_CONTINUE);
    }
    {
        RawCall raw; // wider ports than declared: the first two channels are the pair
        float extra[8] = {};
        float* in3[3] = {raw.a[0], raw.a[1], extra};
        float* out3[3] = {raw.b[0], raw.b[1], extra};
        raw.input.data32 = in3;
        raw.output.data32 = out3;
        raw.input.channel_count = raw.output.channel_count = 3;
        raw.output.constant_mask = 3;
        EXPECT_EQ(clap->process(raw.call), CLAP_PROCESS_CONTINUE);
        EXPECT_EQ(raw.output.constant_mask, 0u);
    }
}
