// State: the effect's 260-byte chunk through the state extension, partial
// transfers, bad streams, and loads while the plug-in is active.
#include <cmath>
#include <limits>

#include "support.h"

using namespace clap_contract;

namespace {

using Bytes = std::vector<std::uint8_t>;

// An initialised instance with a setting sent through flush.
struct Stateful : Clap {
    explicit Stateful(const Setting* setting = nullptr) {
        EXPECT_TRUE(plugin->init());
        if (setting) apply(*setting);
    }
    void apply(const Setting& setting) {
        EventList events;
        AddSetting(events, *plugin, setting);
        plugin->flush(events);
    }
    std::vector<double> values() {
        std::vector<double> v;
        for (clap_id k = 0; k < kParameters; ++k) v.push_back(plugin->value(k).value_or(std::nan("")));
        return v;
    }
    Bytes saved() { return plugin->save().value_or(Bytes{}); }
};

Bytes Chunk(std::initializer_list<float> elements) {
    Bytes bytes(elements.size() * 4);
    std::memcpy(bytes.data(), std::data(elements), bytes.size());
    return bytes;
}

// What values become through a chunk, which holds them as floats.
std::vector<double> AsFloats(std::vector<double> values) {
    for (double& v : values) v = static_cast<float>(v);
    return values;
}

float Element(const Bytes& bytes, std::size_t n) {
    float v;
    std::memcpy(&v, bytes.data() + 4 * n, 4);
    return v;
}

} // namespace

TEST(ClapState, SaveWritesTheVst2ModulesChunk) {
    for (const Setting& setting : Settings()) {
        Stateful clap(&setting);
        Vst2 vst2;
        ApplySetting(vst2, setting);
        const Bytes saved = clap.saved();
        ASSERT_EQ(saved.size(), 260u);
        EXPECT_EQ(Element(saved, 0), -1000.0f);
        EXPECT_EQ(saved, vst2->getChunk());
    }
}

TEST(ClapState, ARoundTripRestoresValuesOutputAndBytes) {
    Stateful source(&Settings()[4]);
    const Bytes saved = source.saved();
    Stateful clap;
    clap.host.clearCalls();
    ASSERT_TRUE(clap->load(saved));
    EXPECT_EQ(clap.host.calls(), std::vector<std::string>{"params.rescan 1"});
    EXPECT_EQ(clap.values(), AsFloats(source.values()));
    EXPECT_EQ(clap.saved(), saved);
    ASSERT_TRUE(clap->start());
    Vst2 vst2;
    vst2->setChunk(saved);
    auto in = Signal<float>(4, 300), out = Blank<float>(300);
    clap->process(in, out);
    EXPECT_EQ(out, Vst2Output(vst2, in));
}

TEST(ClapState, PartialTransfersCarryTheSameBytes) {
    Stateful source(&Settings()[5]);
    const Bytes saved = source.saved();
    for (std::size_t step : {1u, 7u, 259u}) {
        OutStream out;
        out.maxPerCall = step;
        ASSERT_TRUE(source->save(out)) << step;
        EXPECT_EQ(out.bytes, saved);
        EXPECT_EQ(out.calls, (260 + step - 1) / step);

        Stateful clap;
        InStream in;
        in.bytes = saved;
        in.maxPerCall = step;
        ASSERT_TRUE(clap->load(in)) << step;
        EXPECT_EQ(clap.saved(), saved) << step;
    }
}

TEST(ClapState, SaveFailsOnAWriteErrorOrAStreamThatTakesNothing) {
    Stateful clap(&Settings()[3]);
    for (std::int64_t at : {0, 100, 259}) {
        OutStream out;
        out.maxPerCall = 64;
        out.failAt = at;
        EXPECT_FALSE(clap->save(out)) << at;
    }
    OutStream stuck;
    stuck.maxPerCall = 0;
    EXPECT_FALSE(clap->save(stuck));
    EXPECT_FALSE(clap->state()->save(clap->plugin(), nullptr));
    const clap_ostream noWrite = {nullptr, nullptr};
    EXPECT_FALSE(clap->state()->save(clap->plugin(), &noWrite));
}

// A bad stream answers false and leaves the instance as it was, untold.
TEST(ClapState, BadStreamsAreRefusedAndChangeNothing) {
    Stateful clap(&Settings()[4]);
    const Bytes before = clap.saved();
    const std::vector<double> values = clap.values();
    const Bytes good = Stateful(&Settings()[6]).saved();
    Bytes noMarker = good;
    noMarker[3] = 0;
    struct Case {
        const char* what;
        Bytes bytes;
        std::int64_t failAt;
    };
    Bytes longGood = good;
    longGood.resize(2000, 0xAB);
    const Case cases[] = {
        {"empty", {}, -1},
        {"three bytes of the marker", Bytes(good.begin(), good.begin() + 3), -1},
        {"no marker", noMarker, -1},
        {"error after the marker", good, 4},
        {"error at the first byte", good, 0},
        {"error inside the chunk", good, 100},
        {"error past the chunk", longGood, 1500},
    };
    clap.host.clearCalls();
    for (const Case& c : cases) {
        InStream in;
        in.bytes = c.bytes;
        in.failAt = c.failAt;
        in.maxPerCall = 4;
        EXPECT_FALSE(clap->load(in)) << c.what;
        EXPECT_EQ(clap.saved(), before) << c.what;
        EXPECT_EQ(clap.values(), values) << c.what;
    }
    EXPECT_FALSE(clap->state()->load(clap->plugin(), nullptr));
    const clap_istream noRead = {nullptr, nullptr};
    EXPECT_FALSE(clap->state()->load(clap->plugin(), &noRead));
    EXPECT_TRUE(clap.host.calls().empty());
}

// A short blob after a valid marker restores what it holds, by the chunk
// rules: whole elements only, clamped to the range, non-finite ones to the default.
TEST(ClapState, AShortBlobRestoresWhatItHoldsClamped) {
    Stateful clap(&Settings()[4]);
    const std::vector<double> before = clap.values();
    Bytes blob = Chunk({-1000.0f, 5.5f, 99.0f, std::numeric_limits<float>::quiet_NaN()});
    blob.push_back(0x01); // part of an element: never read
    blob.push_back(0x02);
    ASSERT_TRUE(clap->load(blob));
    const std::vector<double> after = clap.values();
    EXPECT_EQ(after[0], 5.5);
    EXPECT_EQ(after[1], 10.0);
    EXPECT_EQ(after[2], 0.0);
    for (std::size_t k = 3; k < kParameters; ++k) EXPECT_EQ(after[k], before[k]) << k;

    ASSERT_TRUE(clap->load(Chunk({-1000.0f})));
    EXPECT_EQ(clap.values(), after);
}

TEST(ClapState, BytesPastTheChunkAreReadButNotUsed) {
    const Bytes good = Stateful(&Settings()[6]).saved();
    Bytes longer = good;
    for (int i = 0; i < 1000; ++i) longer.push_back(static_cast<std::uint8_t>(i));
    Stateful clap;
    InStream in;
    in.bytes = longer;
    ASSERT_TRUE(clap->load(in));
    EXPECT_EQ(in.position, longer.size());
    EXPECT_EQ(clap.saved(), good);
}

// While active, a load is handed to the audio thread and restored at the
// start of the next process call; values and saves show it at once.
TEST(ClapState, ALoadWhileActiveTakesEffectFromTheNextBlocksFirstFrame) {
    Stateful clap(&Settings()[2]);
    ASSERT_TRUE(clap->start());
    Stateful source(&Settings()[5]);
    const Bytes wanted = source.saved();
    clap.host.clearCalls();
    ASSERT_TRUE(clap->load(wanted));
    EXPECT_EQ(clap.host.count("params.rescan 1"), 1u);
    EXPECT_EQ(clap.values(), AsFloats(source.values()));
    EXPECT_EQ(clap.saved(), wanted);

    Vst2 vst2;
    vst2->setChunk(wanted);
    auto in = Signal<double>(9, 512), out = Blank<double>(512);
    clap->process(in, out);
    EXPECT_EQ(out, Vst2Output(vst2, in));
    EXPECT_EQ(clap.saved(), wanted);
}

// Loads the audio thread has not taken yet add up as if restored in turn.
TEST(ClapState, LoadsQueuedBeforeAProcessCallAddUpInOrder) {
    const Bytes full = Stateful(&Settings()[5]).saved();
    const Bytes partial = Chunk({-1000.0f, 3.0f, -2.5f});

    Stateful inactive(&Settings()[2]);
    ASSERT_TRUE(inactive->load(full));
    ASSERT_TRUE(inactive->load(partial));
    const Bytes expected = inactive.saved();

    Stateful active(&Settings()[2]);
    ASSERT_TRUE(active->start());
    ASSERT_TRUE(active->load(full));
    ASSERT_TRUE(active->load(partial));
    EXPECT_EQ(active.saved(), expected);
    EXPECT_EQ(active.values(), inactive.values());
    auto in = Signal<float>(2, 64), out = Blank<float>(64);
    active->process(in, out);
    EXPECT_EQ(active.saved(), expected);
    EXPECT_EQ(active.values(), inactive.values());
    // Events in the same block come after the load.
    EventList events;
    events.addParamValue(0, 0, 7.0);
    ASSERT_TRUE(active->load(full));
    active->process(in, out, &events);
    const Bytes now = active.saved();
    EXPECT_EQ(Element(now, 1), 7.0f);
    EXPECT_EQ(Element(now, 2), Element(full, 2));
}

// A change made while inactive, after the load, is not undone by it later.
TEST(ClapState, DeactivatingRestoresALoadNoProcessCallTook) {
    Stateful clap(&Settings()[2]);
    ASSERT_TRUE(clap->activate());
    const Bytes wanted = Stateful(&Settings()[7]).saved();
    ASSERT_TRUE(clap->load(wanted));
    clap->deactivate();
    EXPECT_EQ(clap.saved(), wanted);
    EventList events;
    events.addParamValue(0, 0, PlainFor(*clap, 0, 0.8f));
    clap->flush(events);
    ASSERT_TRUE(clap->start());
    Vst2 vst2;
    vst2->setChunk(wanted);
    vst2->setParameter(0, 0.8f);
    auto in = Signal<float>(3, 128), out = Blank<float>(128);
    clap->process(in, out);
    EXPECT_EQ(out, Vst2Output(vst2, in));
    EXPECT_EQ(clap->value(0), 6.0);
}
