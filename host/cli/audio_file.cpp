#include "host/cli/audio_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/cli/error.h"

namespace cli {

namespace {
std::string SoundFileError(SNDFILE* file) { return sf_strerror(file); }

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
    if (IsFolder(path)) throw Error("cannot read " + path + ": it is a folder");
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_) throw Error("cannot read " + path + ": " + SoundFileError(nullptr));
}

InputFile::~InputFile() {
    if (file_) sf_close(file_);
}

std::int64_t InputFile::Read(float* buffer, std::int64_t frames) {
    return Checked(sf_readf_float(file_, buffer, frames), frames);
}

std::int64_t InputFile::Read(double* buffer, std::int64_t frames) {
    return Checked(sf_readf_double(file_, buffer, frames), frames);
}

// A short read is the end of the file unless the library saw an error.
std::int64_t InputFile::Checked(std::int64_t got, std::int64_t wanted) {
    if (got < wanted && sf_error(file_) != SF_ERR_NO_ERROR)
        throw Error("cannot read " + path_ + ": " + SoundFileError(file_));
    return got;
}

OutputFile::OutputFile(const Destination& destination, int format, int channels, int rate)
    : destination_(destination), channels_(channels) {
    CheckFormat(format, channels, rate);
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    pending_ = std::make_unique<PendingFile>(destination);
    file_ = sf_open_fd(pending_->fd(), SFM_WRITE, &info, SF_FALSE);
    if (!file_) throw Error("cannot write " + destination.path() + ": " + SoundFileError(nullptr));
    // Overs are clipped in integer files rather than wrapped round.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

OutputFile::~OutputFile() {
    if (file_) sf_close(file_);
}

template <class Sample>
void OutputFile::Note(const Sample* interleaved, std::int64_t count) {
    for (std::int64_t k = 0; k < count; ++k) {
        const double magnitude = std::fabs(static_cast<double>(interleaved[k]));
        if (magnitude > 1.0) ++overs_;
        if (magnitude > peak_ || std::isnan(magnitude)) peak_ = magnitude;
    }
}

void OutputFile::Write(const float* interleaved, std::int64_t frames) {
    Note(interleaved, frames * channels_);
    if (sf_writef_float(file_, interleaved, frames) != frames)
        throw Error("cannot write " + destination_.path() + ": " + SoundFileError(file_));
}

void OutputFile::Write(const double* interleaved, std::int64_t frames) {
    Note(interleaved, frames * channels_);
    if (sf_writef_double(file_, interleaved, frames) != frames)
        throw Error("cannot write " + destination_.path() + ": " + SoundFileError(file_));
}

void OutputFile::Commit() {
    const int status = sf_close(file_);
    file_ = nullptr;
    if (status != 0) throw Error("cannot write " + destination_.path() + ": " + sf_error_number(status));
    pending_->Commit();
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    if (IsFolder(path)) throw Error("cannot read " + path + ": it is a folder");
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Error("cannot read " + path + ": " + std::strerror(errno));
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[1 << 14];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            close(fd);
            throw Error("cannot read " + path + ": " + std::strerror(error));
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    close(fd);
    return bytes;
}

namespace {
// Every major format libsndfile writes, by its usual extension and a few more
// names; where two share one (WAV, MAT) the first listed keeps it.
const std::map<std::string, int>& MajorFormats() {
    static const std::map<std::string, int> formats = [] {
        std::map<std::string, int> names{{"aif", SF_FORMAT_AIFF}, {"aifc", SF_FORMAT_AIFF}, {"ogg", SF_FORMAT_OGG},
                                         {"opus", SF_FORMAT_OGG}, {"snd", SF_FORMAT_AU},    {"mp3", SF_FORMAT_MPEG}};
        int count = 0;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
        for (int k = 0; k < count; ++k) {
            SF_FORMAT_INFO info{};
            info.format = k;
            if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.extension)
                names.emplace(info.extension, info.format);
        }
        return names;
    }();
    return formats;
}

const std::pair<const char*, int> kEncodings[] = {
    {"pcm8", SF_FORMAT_PCM_S8},  {"pcm16", SF_FORMAT_PCM_16},      {"pcm24", SF_FORMAT_PCM_24},
    {"pcm32", SF_FORMAT_PCM_32}, {"float", SF_FORMAT_FLOAT},       {"double", SF_FORMAT_DOUBLE},
    {"ulaw", SF_FORMAT_ULAW},    {"alaw", SF_FORMAT_ALAW},         {"vorbis", SF_FORMAT_VORBIS},
    {"opus", SF_FORMAT_OPUS},    {"mp3", SF_FORMAT_MPEG_LAYER_III}};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool Writable(int format, int channels, int rate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    return sf_format_check(&info) != 0;
}
} // namespace

int MajorFormatOrZero(const std::string& name) {
    const auto found = MajorFormats().find(Lower(name));
    return found == MajorFormats().end() ? 0 : found->second;
}

int MajorFormatNamed(const std::string& name) {
    if (const int major = MajorFormatOrZero(name)) return major;
    std::string names;
    for (const auto& [known, format] : MajorFormats()) names += (names.empty() ? "" : ", ") + known;
    throw UsageError("--format is one of " + names + "; not \"" + name + "\"");
}

int MajorFormatForPath(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return 0;
    return MajorFormatOrZero(path.substr(dot + 1));
}

int EncodingNamed(const std::string& name) {
    std::string names;
    for (const auto& [known, encoding] : kEncodings) {
        if (name == known) return encoding;
        names += (names.empty() ? "" : ", ") + std::string(known);
    }
    throw UsageError("--encoding is one of " + names + "; not \"" + name + "\"");
}

int ChooseEncoding(int major, const std::vector<int>& preferred, int channels, int rate) {
    for (int encoding : preferred) {
        // Eight-bit PCM is signed in some formats and unsigned in others.
        if (encoding == SF_FORMAT_PCM_S8 && !Writable(major | encoding, channels, rate)) encoding = SF_FORMAT_PCM_U8;
        if (Writable(major | encoding, channels, rate)) return major | encoding;
    }
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &count, sizeof count);
    for (int k = 0; k < count; ++k) {
        SF_FORMAT_INFO info{};
        info.format = k;
        if (sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &info, sizeof info) == 0 &&
            Writable(major | info.format, channels, rate))
            return major | info.format;
    }
    return major;
}

void CheckFormat(int format, int channels, int rate) {
    if (!Writable(format, channels, rate))
        throw Error("cannot write " + FormatDescription(format) + " with " + std::to_string(channels) +
                    (channels == 1 ? " channel" : " channels") + " at " + std::to_string(rate) +
                    " Hz; choose another --format or --encoding");
}

bool IsIntegerEncoding(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III: return false;
    default: return true;
    }
}

std::string FormatDescription(int format) {
    SF_FORMAT_INFO major{}, sub{};
    major.format = format & SF_FORMAT_TYPEMASK;
    sub.format = format & SF_FORMAT_SUBMASK;
    const bool known = sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major) == 0 &&
                       sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub) == 0;
    if (!known) return "an unknown format";
    return std::string(major.name) + ", " + sub.name;
}

} // namespace cli
