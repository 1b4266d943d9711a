#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "effect/tquill.h"
#include "runtime/datapath.h"

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
}

// The default bodies of the sections a script leaves out touch nothing: run
// through the base, on an effect with state in every layer.
TEST(Scheduler, DefaultSectionBodiesLeaveTheStateAlone) {
    TQuill q;
    q.memoryBlocks[2] = {1.5, 2.5};
    q.StringSlot(7) = "kept";
    q.sliderValues[3] = 0.25;
    q.sampleSlots[0] = 0.5;
    q.sampleSlots[1] = -0.5;
    q.files[0].OpenForWriting();
    q.files[0].WriteNumber(3.0);
    const auto memory = q.memoryBlocks;
    const auto strings = q.strings;
    const auto sliders = q.sliderValues;
    const auto slots = q.sampleSlots;
    const auto stream = q.files[0].data;
    TQuill& base = q;
    base.DoSlider();
    base.DoBlock();
    base.DoSample();
    base.DoInit();
    base.DoGfx();
    base.DoIdle();
    base.DoClose();
    base.DoSuspend();
    base.DoSerialize();
    base.DoResume();
    EXPECT_EQ(q.memoryBlocks, memory);
    EXPECT_EQ(q.strings, strings);
    EXPECT_EQ(q.sliderValues, sliders);
    EXPECT_EQ(q.sampleSlots, slots);
    EXPECT_EQ(q.files[0].data, stream);
    EXPECT_EQ(q.initCount, 0);
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

// Deleting through the base pointer, as the table's destroy slot does, runs
// the derived destructor and the layers' teardown, which writes out a stream
// still being written to a file.
TEST(Scheduler, DeletionThroughTheBaseRunsTheWholeTeardown) {
    struct Tracked : Recorder {
        bool* destroyed;
        explicit Tracked(bool* flag) : destroyed(flag) {}
        ~Tracked() override { *destroyed = true; }
    };
    const std::string name = "quill_teardown_stream.dat"; // beside the test executable
    const std::filesystem::path file = quill::DataPath(name);
    std::filesystem::remove(file);
    bool destroyed = false;
    TQuill* q = new Tracked(&destroyed);
    q->memoryBlocks[1] = std::vector<double>(100, 1.0);
    q->files[0].OpenForWriting();
    q->files[0].fileName = name;
    q->files[0].WriteNumber(65.0);
    q->files[0].WriteNumber(66.0);
    delete q;
    EXPECT_TRUE(destroyed);
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 2u);
    std::filesystem::remove(file);
}
