// Audio files through libsndfile: reading in blocks, and writing under a
// temporary name that becomes the real one only when the file is complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sndfile.h>

namespace cli {

class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int channels() const { return info_.channels; }
    int rate() const { return info_.samplerate; }
    int format() const { return info_.format; }
    std::int64_t frames() const { return info_.frames; }

    // Interleaved frames into buffer (channels × frames long); the count read.
    std::int64_t Read(float* buffer, std::int64_t frames);
    std::int64_t Read(double* buffer, std::int64_t frames);

private:
    std::int64_t Checked(std::int64_t got, std::int64_t wanted);

    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    std::string path_;
};

class OutputFile {
public:
    // Opens a temporary file beside path; nothing exists at path until Commit.
    OutputFile(const std::string& path, int format, int channels, int rate);
    ~OutputFile(); // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(const float* interleaved, std::int64_t frames);
    void Write(const double* interleaved, std::int64_t frames);
    void Commit();

private:
    SNDFILE* file_ = nullptr;
    std::string path_, temporary_;
};

// Writes bytes to path through a temporary file and a rename.
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// A --format value ("wav", "aiff", "flac") as a major format; throws UsageError for others.
int MajorFormatNamed(const std::string& name);
// An --encoding value ("pcm16", "pcm24", "pcm32", "float", "double") as a subtype; throws UsageError for others.
int EncodingNamed(const std::string& name);
// The major format for a file name's extension; 0 when it has none we know.
int MajorFormatForPath(const std::string& path);
std::string FormatDescription(int format);

} // namespace cli
