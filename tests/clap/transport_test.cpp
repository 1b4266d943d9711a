// The one piece of the wrapper no output shows: how the host's transport
// becomes the effect's time record. Tested on the mapping itself, which the
// module compiles from the same header.
#include <gtest/gtest.h>

#include "plugin/clap/transport.h"

using brio_clap::MapTransport;

namespace {
clap_event_transport Full() {
    clap_event_transport t{};
    t.header = {sizeof t, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    t.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE | CLAP_TRANSPORT_HAS_TIME_SIGNATURE |
              CLAP_TRANSPORT_IS_PLAYING | CLAP_TRANSPORT_IS_RECORDING;
    t.tempo = 133.5;
    t.song_pos_beats = 13 * CLAP_BEATTIME_FACTOR + CLAP_BEATTIME_FACTOR / 4; // 13.25 beats
    t.song_pos_seconds = 99 * CLAP_SECTIME_FACTOR;
    t.tsig_num = 7;
    t.tsig_denom = 8;
    return t;
}
} // namespace

TEST(ClapTransport, NoTransportIsNoTimeRecord) {
    const BrioTransport time = MapTransport(nullptr);
    EXPECT_FALSE(time.present);
    EXPECT_FALSE(time.playing);
    EXPECT_EQ(time.tempo, 0.0);
}

TEST(ClapTransport, EveryFieldWithItsFlagAsTheVst2TimeRecordCarriesIt) {
    const clap_event_transport t = Full();
    const BrioTransport time = MapTransport(&t);
    EXPECT_TRUE(time.present);
    EXPECT_TRUE(time.playing);
    EXPECT_TRUE(time.recording);
    EXPECT_EQ(time.tempo, 133.5);
    EXPECT_EQ(time.numerator, 7.0);
    EXPECT_EQ(time.denominator, 8.0);
    EXPECT_EQ(time.ppqPos, 13.25);
}

TEST(ClapTransport, AFieldWithoutItsFlagIsZero) {
    clap_event_transport t = Full();
    t.flags = 0;
    const BrioTransport time = MapTransport(&t);
    EXPECT_TRUE(time.present);
    EXPECT_FALSE(time.playing);
    EXPECT_FALSE(time.recording);
    EXPECT_EQ(time.tempo, 0.0);
    EXPECT_EQ(time.numerator, 0.0);
    EXPECT_EQ(time.denominator, 0.0);
    EXPECT_EQ(time.ppqPos, 0.0);
    t.flags = CLAP_TRANSPORT_IS_RECORDING | CLAP_TRANSPORT_HAS_SECONDS_TIMELINE;
    const BrioTransport recording = MapTransport(&t);
    EXPECT_FALSE(recording.playing);
    EXPECT_TRUE(recording.recording);
    EXPECT_EQ(recording.ppqPos, 0.0); // seconds are no beat position
    t.song_pos_beats = -3 * CLAP_BEATTIME_FACTOR / 2;
    t.flags = CLAP_TRANSPORT_HAS_BEATS_TIMELINE;
    EXPECT_EQ(MapTransport(&t).ppqPos, -1.5);
}
