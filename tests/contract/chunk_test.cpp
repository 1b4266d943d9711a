#include <cmath>
#include <cstring>

#include "support.h"

using contract::Rig;

namespace {

std::vector<float> Floats(const std::vector<std::uint8_t>& bytes) {
    std::vector<float> floats(bytes.size() / 4);
    std::memcpy(floats.data(), bytes.data(), floats.size() * 4);
    return floats;
}

std::vector<std::uint8_t> Bytes(const std::vector<float>& floats) {
    std::vector<std::uint8_t> bytes(floats.size() * 4);
    std::memcpy(bytes.data(), floats.data(), bytes.size());
    return bytes;
}

} // namespace

TEST(Chunk, DefaultStateIsTheMarkerAndSixtyFourZeros) {
    Rig rig;
    rig->start();
    const std::vector<std::uint8_t> bytes = rig->getChunk();
    ASSERT_EQ(bytes.size(), 260u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x7A, 0xC4}));
    for (std::size_t i = 4; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(rig->getChunk(true), bytes);
}

TEST(Chunk, SavedValuesAreNarrowedToFloat) {
    Rig rig;
    rig->start();
    rig->setParameter(0, 0.75f);
    rig->setParameter(2, 0.333f);
    const std::vector<float> floats = Floats(rig->getChunk());
    ASSERT_EQ(floats.size(), 65u);
    EXPECT_EQ(floats[1], 5.0f);
    EXPECT_EQ(static_cast<double>(floats[3]), 0.33000001311302185);

    Rig other;
    other->start();
    EXPECT_EQ(other->setChunk(Bytes(floats)), 260);
    EXPECT_EQ(other->parameterDisplay(0), "5.00");
    EXPECT_EQ(other->getParameter(2), static_cast<float>(0.33000001311302185));
}

TEST(Chunk, HiddenSliderNumbersTravelThrough) {
    Rig rig;
    rig->start();
    std::vector<float> floats = Floats(rig->getChunk());
    floats[7] = 7.5f;
    floats[64] = -3.0f;
    rig->setChunk(Bytes(floats));
    const std::vector<float> saved = Floats(rig->getChunk());
    EXPECT_EQ(saved[7], 7.5f);
    EXPECT_EQ(saved[64], -3.0f);
}

TEST(Chunk, ShortOddAndMarkerlessRestores) {
    Rig rig;
    rig->start();
    rig->setParameter(5, 1.0f);
    std::vector<float> full = Floats(rig->getChunk());
    full[1] = 2.0f;
    full[64] = 4.0f;
    full[6] = 0.0f;

    Rig a;
    a->start();
    std::vector<std::uint8_t> bytes = Bytes(full);
    bytes.pop_back();
    EXPECT_EQ(a->setChunk(bytes), 259); // slider 64 keeps its value
    std::vector<float> saved = Floats(a->getChunk());
    EXPECT_EQ(saved[1], 2.0f);
    EXPECT_EQ(saved[64], 0.0f);

    Rig b;
    b->start();
    EXPECT_EQ(b->setChunk(Bytes({-1000.0f, 2.0f})), 8);
    EXPECT_EQ(b->parameterDisplay(0), "2.00");
    EXPECT_EQ(b->parameterDisplay(5), "0.00");

    Rig c;
    c->start();
    c->setParameter(0, 1.0f);
    EXPECT_EQ(c->setChunk({0x00, 0x00, 0x7A}), 3);
    EXPECT_EQ(c->setChunk(Bytes({-999.99994f, 1, 1, 1})), 16);
    EXPECT_EQ(c->setChunk(Bytes({NAN, 1, 1, 1})), 16);
    EXPECT_EQ(c->parameterDisplay(0), "10.00");
    EXPECT_EQ(c->dispatch(effSetChunk, 0, 260, nullptr), 260);
    EXPECT_EQ(c->parameterDisplay(0), "10.00");
    EXPECT_EQ(c->dispatch(effGetChunk, 0, 0, nullptr), 0);
}

TEST(Chunk, OutOfRangeAndNonFiniteValuesAreStoredAsTheyCome) {
    Rig rig;
    rig->start();
    rig->setChunk(Bytes({-1000.0f, 0, 0, 2.0f, 0.5f, 0, NAN}));
    EXPECT_EQ(rig->parameterDisplay(2), "2.00");
    EXPECT_EQ(rig->getParameter(2), 2.0f);
    EXPECT_TRUE(std::isnan(rig->getParameter(5)));
    std::vector<std::vector<float>> in = {{1.0f}, {1.0f}}, out(2, std::vector<float>(1));
    rig->process(in, out);
    EXPECT_EQ(out[0][0], 0.0f); // the output gain is NaN, stored as 0
}

TEST(Chunk, TheFirstRestoreEverRunsTheInitSectionOnce) {
    // The init section asks the host for the tempo: one request with filter 1024.
    Rig rig;
    rig->open();
    const std::vector<std::uint8_t> state = rig->getChunk();
    rig.host.requests.clear();
    rig->setChunk(state);
    ASSERT_EQ(rig.host.requestsFor(audioMasterGetTime).size(), 1u);
    EXPECT_EQ(rig.host.requestsFor(audioMasterGetTime)[0].value, 1024);
    rig->setChunk(state);
    EXPECT_EQ(rig.host.requestsFor(audioMasterGetTime).size(), 1u);
    rig->resume(); // a resume always runs it
    EXPECT_EQ(rig.host.requestsFor(audioMasterGetTime).size(), 2u);
    rig->setChunk({0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(rig.host.requestsFor(audioMasterGetTime).size(), 2u);
}

TEST(Chunk, RestoreAppliesTheGainsAtOnce) {
    Rig rig;
    rig->start();
    rig->setChunk(Bytes({-1000.0f, 0, 0, 1.0f}));
    std::vector<std::vector<float>> in = {{0.25f}, {0.5f}}, out(2, std::vector<float>(1));
    rig->process(in, out);
    EXPECT_EQ(out[0][0], 0.5f);
}
