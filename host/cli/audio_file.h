// Audio files through libsndfile: reading in blocks, and writing to a
// Destination, complete or not at all; the formats and encodings by name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sndfile.h>

#include "host/cli/destination.h"

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
    // Checks the format first. The file is written to a PendingFile and
    // appears only on Commit: even in a pipe, where libsndfile could stream
    // some formats, it would leave out what it writes last (FLAC's header).
    OutputFile(const Destination& destination, int format, int channels, int rate);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(const float* interleaved, std::int64_t frames);
    void Write(const double* interleaved, std::int64_t frames);
    void Commit();

    // The largest magnitude written, and how many samples were beyond full scale.
    double peak() const { return peak_; }
    std::int64_t overs() const { return overs_; }

private:
    template <class Sample>
    void Note(const Sample* interleaved, std::int64_t count);

    const Destination& destination_;
    std::unique_ptr<PendingFile> pending_;
    SNDFILE* file_ = nullptr;
    int channels_;
    double peak_ = 0.0;
    std::int64_t overs_ = 0;
};

// A whole file; Error names it when it is missing, a folder or unreadable.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// A --format value or a file extension (wav, aiff, flac, ogg, caf, au, w64 …)
// as a major format; 0 when libsndfile writes none of that name.
int MajorFormatOrZero(const std::string& name);
// The same, or throws UsageError listing the names there are.
int MajorFormatNamed(const std::string& name);
// The major format for a file name's extension; 0 when it has none we know.
int MajorFormatForPath(const std::string& path);
// An --encoding value ("pcm16", "float", "vorbis" …) as a subtype; throws UsageError for others.
int EncodingNamed(const std::string& name);
// major with the first of preferred it holds at channels and rate, else any
// encoding it holds; major alone when it holds none.
int ChooseEncoding(int major, const std::vector<int>& preferred, int channels, int rate);
// Throws Error unless libsndfile writes format with channels at rate.
void CheckFormat(int format, int channels, int rate);
// Encodings that store whole numbers, and so clip what goes beyond full scale.
bool IsIntegerEncoding(int format);
std::string FormatDescription(int format);

} // namespace cli
