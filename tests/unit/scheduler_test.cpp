#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "effect/tquill.h"

namespace {

// An effect that records its sections and serialises slider numbers 1 … count.
struct Recorder : TQuill {
    std::vector<std::string> runs;
    int count = 3;
    void DoInit() override { runs.push_back("init"); }
    void DoSlider() override { runs.push_back("slider"); }
    void DoSerialize() override {
        runs.push_back("serialize");
        FileStream& s = files[0];
        for (int i = 1; i <= count; ++i) {
            if (s.mode == FileStream::kWriting) s.WriteNumber(sliderValues[i]);
            else s.ReadNumber(sliderValues[i]);
        }
    }
};

std::vector<float> Chunk(std::initializer_list<float> values) { return values; }

std::int32_t Load(TQuill& q, const std::vector<float>& floats, std::int32_t bytes = -1) {
    if (bytes < 0) bytes = static_cast<std::int32_t>(floats.size() * 4);
    return q.DoSetChunk(floats.data(), bytes, false);
}

} // namespace

TEST(Scheduler, ConstructionResetsMemoryAndStrings) {
    Recorder q;
    EXPECT_EQ(q.initCount, 0);
    EXPECT_TRUE(q.memoryBlocks.empty());
    EXPECT_EQ(q.stringCount, 0.0);
    EXPECT_EQ(q.wrapper, nullptr);
    q.memoryBlocks[3] = {1.0};
    q.StringSlot(1).assign(1, 'x');
    q.sliderValues[1] = 4;
    q.DoReset();
    EXPECT_TRUE(q.memoryBlocks.empty());
    EXPECT_TRUE(q.strings.empty());
    EXPECT_EQ(q.stringCount, 0.0);
    EXPECT_EQ(q.sliderValues[1], 4);
    q.DoGfx();
    q.DoIdle();
    q.DoClose();
    q.DoSuspend();
    q.DoBlock();
    q.DoSample();
    EXPECT_TRUE(q.runs.empty());
}

TEST(Scheduler, ResumeRunsInitThenSliderWithoutCountingInits) {
    Recorder q;
    q.DoResume();
    q.DoResume();
    EXPECT_EQ(q.runs, (std::vector<std::string>{"init", "slider", "init", "slider"}));
    EXPECT_EQ(q.initCount, 0);
}

TEST(Scheduler, OnlyTheFirstChunkLoadEverRunsInit) {
    Recorder q;
    q.DoResume();
    q.runs.clear();
    EXPECT_EQ(Load(q, Chunk({-1000.0f, 1, 2, 3})), 16);
    EXPECT_EQ(q.runs, (std::vector<std::string>{"init", "serialize", "slider"}));
    EXPECT_EQ(q.initCount, 1);
    q.runs.clear();
    Load(q, Chunk({-1000.0f, 4}));
    EXPECT_EQ(q.runs, (std::vector<std::string>{"serialize", "slider"}));
    EXPECT_EQ(q.initCount, 2);
    EXPECT_EQ(q.sliderValues[1], 4);
    EXPECT_EQ(q.sliderValues[2], 2); // past the end: kept
}

TEST(Scheduler, ChunksWithoutTheMarkerAreAcceptedAndIgnored) {
    Recorder q;
    const float close = std::nextafter(-1000.0f, 0.0f);
    for (float marker : {close, 1000.0f, NAN, 0.0f}) {
        EXPECT_EQ(Load(q, Chunk({marker, 5, 5, 5})), 16);
        EXPECT_EQ(q.sliderValues[1], 0);
    }
    const std::vector<float> valid = {-1000.0f, 5};
    EXPECT_EQ(Load(q, valid, 3), 3);
    EXPECT_EQ(q.DoSetChunk(nullptr, 260, false), 260);
    EXPECT_EQ(q.DoSetChunk(valid.data(), 0, false), 0);
    EXPECT_EQ(q.DoSetChunk(valid.data(), -4, false), -4);
    EXPECT_TRUE(q.runs.empty());
    EXPECT_EQ(q.initCount, 0);
}

TEST(Scheduler, ChunkIsTheMarkerThenTheSerialisedValues) {
    Recorder q;
    q.sliderValues[1] = 0.33;
    q.sliderValues[2] = -7;
    void* data = nullptr;
    ASSERT_EQ(q.DoGetChunk(&data, true), 16);
    float floats[4];
    std::memcpy(floats, data, sizeof floats);
    EXPECT_EQ(floats[0], -1000.0f);
    EXPECT_EQ(floats[1], 0.33f);
    EXPECT_EQ(floats[2], -7.0f);
    const unsigned char marker[4] = {0x00, 0x00, 0x7A, 0xC4};
    EXPECT_EQ(std::memcmp(data, marker, 4), 0);
    void* again = nullptr;
    EXPECT_EQ(q.DoGetChunk(&again, false), 16);
    EXPECT_EQ(q.DoGetChunk(nullptr, false), 0);
}

TEST(Scheduler, NothingSerialisedMeansNoChunk) {
    Recorder q;
    q.count = 0;
    void* data = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(q.DoGetChunk(&data, false), 0);
    EXPECT_EQ(data, reinterpret_cast<void*>(0x1));
}

TEST(Scheduler, OddLengthChunkLosesItsLastValue) {
    Recorder q;
    q.sliderValues[3] = 9;
    const std::vector<float> chunk = {-1000.0f, 1, 2, 3};
    Load(q, chunk, 15);
    EXPECT_EQ(q.sliderValues[1], 1);
    EXPECT_EQ(q.sliderValues[2], 2);
    EXPECT_EQ(q.sliderValues[3], 9);
}

TEST(Scheduler, DeletionThroughTheBaseRunsTheWholeTeardown) {
    TQuill* q = new Recorder;
    q->memoryBlocks[1] = std::vector<double>(100, 1.0);
    q->StringSlot(1).assign(4, 't');
    delete q; // leaks would show under the sanitizer and valgrind runs
}
