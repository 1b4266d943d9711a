#include "host/cli/audio_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/cli/error.h"

namespace cli {

namespace {
std::string SoundFileError(SNDFILE* file) { return sf_strerror(file); }

// A new empty file beside path, under a name no one else uses.
int CreateTemporaryBeside(const std::string& path, std::string& temporary) {
    temporary = path + ".partXXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) throw Error("cannot create a file beside " + path + ": " + std::strerror(errno));
    temporary = name.data();
    fchmod(fd, 0644);
    return fd;
}
} // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
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

OutputFile::OutputFile(const std::string& path, int format, int channels, int rate) : path_(path) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    if (!sf_format_check(&info))
        throw Error("cannot write " + FormatDescription(format) + " with " + std::to_string(channels) +
                    " channels at " + std::to_string(rate) + " Hz; choose another --format or --encoding");
    const int fd = CreateTemporaryBeside(path, temporary_);
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file_) {
        const std::string why = SoundFileError(nullptr);
        close(fd);
        unlink(temporary_.c_str());
        throw Error("cannot write " + path + ": " + why);
    }
    // Overs are clipped in integer files rather than wrapped round.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

OutputFile::~OutputFile() {
    if (file_) {
        sf_close(file_);
        unlink(temporary_.c_str());
    }
}

void OutputFile::Write(const float* interleaved, std::int64_t frames) {
    if (sf_writef_float(file_, interleaved, frames) != frames)
        throw Error("cannot write " + path_ + ": " + SoundFileError(file_));
}

void OutputFile::Write(const double* interleaved, std::int64_t frames) {
    if (sf_writef_double(file_, interleaved, frames) != frames)
        throw Error("cannot write " + path_ + ": " + SoundFileError(file_));
}

void OutputFile::Commit() {
    const int status = sf_close(file_);
    file_ = nullptr;
    if (status != 0 || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        unlink(temporary_.c_str());
        throw Error("cannot write " + path_ + ": " + (status ? sf_error_number(status) : std::strerror(errno)));
    }
}

void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::string temporary;
    const int fd = CreateTemporaryBeside(path, temporary);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const bool ok = written == bytes.size() && fsync(fd) == 0;
    const int saved = errno;
    if (close(fd) != 0 || !ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        throw Error("cannot write " + path + ": " + std::strerror(ok ? errno : saved));
    }
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("cannot read " + path + ": " + std::strerror(errno));
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw Error("cannot read " + path);
    return bytes;
}

namespace {
int MajorFormatOrZero(const std::string& name) {
    if (name == "wav") return SF_FORMAT_WAV;
    if (name == "aiff" || name == "aif") return SF_FORMAT_AIFF;
    if (name == "flac") return SF_FORMAT_FLAC;
    return 0;
}
} // namespace

int MajorFormatNamed(const std::string& name) {
    if (const int major = MajorFormatOrZero(name)) return major;
    throw UsageError("--format is one of wav, aiff, flac");
}

int EncodingNamed(const std::string& name) {
    if (name == "pcm16") return SF_FORMAT_PCM_16;
    if (name == "pcm24") return SF_FORMAT_PCM_24;
    if (name == "pcm32") return SF_FORMAT_PCM_32;
    if (name == "float") return SF_FORMAT_FLOAT;
    if (name == "double") return SF_FORMAT_DOUBLE;
    throw UsageError("--encoding is one of pcm16, pcm24, pcm32, float, double");
}

int MajorFormatForPath(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return 0;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return MajorFormatOrZero(extension);
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
