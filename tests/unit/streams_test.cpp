#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "runtime/datapath.h"
#include "runtime/layers.h"

TEST(FileStream, WrittenNumbersReadBackAtFloatPrecision) {
    FileStream out;
    out.OpenForWriting();
    out.WriteNumber(1.0);
    out.WriteNumber(0.33);
    out.WriteNumber(-1e300);
    EXPECT_EQ(out.data.size(), 3u);
    EXPECT_EQ(out.position, 3);

    FileStream in;
    in.OpenForReading(out.data.data(), static_cast<std::int32_t>(out.data.size() * 4));
    double a = 0, b = 0, c = 0, d = 42;
    in.ReadNumber(a);
    in.ReadNumber(b);
    in.ReadNumber(c);
    in.ReadNumber(d);
    EXPECT_EQ(a, 1.0);
    EXPECT_EQ(b, 0.33000001311302185);
    EXPECT_EQ(c, -INFINITY);
    EXPECT_EQ(d, 42); // past the end: unchanged
    EXPECT_EQ(in.position, 3);
}

TEST(FileStream, ShortAndOddLengthReads) {
    const float values[3] = {1.5f, -2.0f, 3.0f};
    FileStream s;
    s.OpenForReading(values, 10);
    EXPECT_EQ(s.data.size(), 2u);
    EXPECT_EQ(s.mode, FileStream::kReading);
    s.OpenForReading(values, 3);
    EXPECT_TRUE(s.data.empty());
    s.OpenForReading(values, -8);
    EXPECT_TRUE(s.data.empty());
    s.OpenForReading(nullptr, 12);
    EXPECT_TRUE(s.data.empty());
    double v = 9;
    s.ReadNumber(v);
    EXPECT_EQ(v, 9);
}

TEST(FileStream, NumberOperationsNeedTheirMode) {
    FileStream s;
    double v = 5;
    s.WriteNumber(1.0);
    s.ReadNumber(v);
    EXPECT_TRUE(s.data.empty());
    EXPECT_EQ(v, 5);
    s.OpenForWriting();
    s.WriteNumber(2.0);
    s.ReadNumber(v);
    EXPECT_EQ(v, 5);
    const float one = 1.0f;
    s.OpenForReading(&one, 4);
    s.WriteNumber(3.0);
    EXPECT_EQ(s.data.size(), 1u);
    EXPECT_EQ(s.data[0], 1.0f);
}

TEST(FileStream, WritingAtAnEarlierPositionOverwritesAndNeverShrinks) {
    FileStream s;
    s.OpenForWriting();
    for (int i = 0; i < 4; ++i) s.WriteNumber(i);
    s.position = 1;
    s.WriteNumber(9);
    EXPECT_EQ(s.data, (std::vector<float>{0, 9, 2, 3}));
    s.position = 6;
    s.WriteNumber(7);
    EXPECT_EQ(s.data, (std::vector<float>{0, 9, 2, 3, 0, 0, 7}));
}

TEST(FileStream, CloseWritesOneByteAFloatBesideTheModule) {
    const std::string name = "stream_bytes_test.bin";
    const std::filesystem::path file = quill::DataPath(name);
    std::filesystem::remove(file);
    FileStream s;
    s.OpenForWriting();
    s.fileName = "/" + name;
    for (double v : {65.0, 321.0, 255.99995, -1.0}) s.WriteNumber(v);
    s.Close();
    std::ifstream read(file, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(read)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0x41, 0x41, 0x00, 0xFF}));
    EXPECT_TRUE(s.fileName.empty());
    EXPECT_EQ(s.mode, FileStream::kClosed);
    EXPECT_EQ(s.position, 0);
    EXPECT_TRUE(s.data.empty());
    read.close();
    std::filesystem::remove(file);
}

TEST(FileStream, AFileThatCannotBeCreatedIsSkipped) {
    FileStream s;
    s.OpenForWriting();
    s.fileName = "no_such_folder_here/x.bin";
    s.WriteNumber(1);
    s.Close();
    EXPECT_FALSE(std::filesystem::exists(quill::DataPath("no_such_folder_here")));
    EXPECT_EQ(s.mode, FileStream::kClosed);
}

TEST(FileStream, ObjectDestructionWritesStreamsOut) {
    const std::string name = "stream_destroy_test.bin";
    const std::filesystem::path file = quill::DataPath(name);
    std::filesystem::remove(file);
    {
        CQuillFiles files;
        ASSERT_EQ(files.files.size(), 1u);
        files.files.emplace_back();
        files.files[1].OpenForWriting();
        files.files[1].fileName = name;
        files.files[1].WriteNumber(66);
    }
    EXPECT_EQ(std::filesystem::file_size(file), 1u);
    std::filesystem::remove(file);
}

TEST(StringSlots, ReadingCreatesTheSlotAndTheCountFollows) {
    CQuillStrings s;
    EXPECT_EQ(s.StringSlot(5), "");
    EXPECT_EQ(s.stringCount, 1.0);
    s.StringSlot(10000) = "Courier New";
    EXPECT_EQ(s.stringCount, 2.0);
    EXPECT_EQ(s.StringSlot(10000), "Courier New");
    s.spareStrings[1] = "kept";
    s.ResetStrings();
    EXPECT_TRUE(s.strings.empty());
    EXPECT_EQ(s.stringCount, 0.0);
    EXPECT_EQ(s.spareStrings.size(), 1u);
}

TEST(DataPath, ResolvesBesideTheModuleWithOrWithoutALeadingSeparator) {
    const std::string folder = quill::DataPath("");
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.back() == '/' || folder.back() == '\\');
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(quill::DataPath("/data/x"), quill::DataPath("data/x"));
    EXPECT_EQ(quill::DataPath("\\data"), folder + "data");
    EXPECT_EQ(quill::DataPath("data"), folder + "data");
}

TEST(WallClock, ReadsSecondsSinceTheEpoch) {
    const double now = quill::WallClockSeconds();
    EXPECT_GT(now, 1.6e9); // after 2020
    EXPECT_LT(now, 4.1e9);
    EXPECT_GE(quill::WallClockSeconds(), now);
}
