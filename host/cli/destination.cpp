#include "host/cli/destination.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/cli/error.h"

namespace cli {

namespace {
// The temporary files that exist now, for the signal handler: fixed storage,
// written only while the signals are blocked, read with async-signal-safe calls.
constexpr int kSlots = 8;
std::array<std::array<char, 4096>, kSlots> slotPaths;
volatile std::sig_atomic_t slotUsed[kSlots];
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
mode_t creationMask = 022;

void RemoveTemporaries(int signal) {
    for (int k = 0; k < kSlots; ++k)
        if (slotUsed[k]) unlink(slotPaths[k].data());
    // The handler was reset on entry: the signal now ends the process as it would have.
    raise(signal);
}

class SignalsBlocked {
public:
    SignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kCleanupSignals) sigaddset(&set, signal);
        sigprocmask(SIG_BLOCK, &set, &saved_);
    }
    ~SignalsBlocked() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

private:
    sigset_t saved_;
};

void Unregister(int slot) {
    if (slot >= 0) slotUsed[slot] = 0;
}

std::string Why() { return std::strerror(errno); }

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A new file can be made in path's folder, or Error says why not.
void CheckFolder(const std::string& named, const std::string& path) {
    const std::string folder = FolderOf(path);
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0)
        throw Error("cannot write " + named + ": the folder " + folder + " does not exist");
    if (!S_ISDIR(st.st_mode)) throw Error("cannot write " + named + ": " + folder + " is not a folder");
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        throw Error("cannot write " + named + ": the folder " + folder + " is not writable");
}

// path with every symbolic link along its last component followed, even to a
// file that does not exist yet.
std::string FollowLinks(const std::string& named) {
    std::string path = named;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::array<char, 4096> link{};
        const ssize_t n = readlink(path.c_str(), link.data(), link.size() - 1);
        if (n < 0) throw Error("cannot follow the link " + named + ": " + Why());
        const std::string to(link.data(), static_cast<std::size_t>(n));
        path = to.front() == '/' ? to : FolderOf(path) + "/" + to;
    }
    throw Error("cannot write " + named + ": too many levels of symbolic links");
}

void WriteAll(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw Error(Why());
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}
} // namespace

void InstallCleanup() {
    creationMask = umask(0);
    umask(creationMask);
    for (int signal : kCleanupSignals) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) continue; // ignored by whoever started us: stays so
        struct sigaction action {};
        action.sa_handler = RemoveTemporaries;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
        sigaction(signal, &action, nullptr);
    }
}

std::optional<FileId> IdentityOf(const std::string& path) {
    struct stat st {};
    const int status = path == "-" ? fstat(STDOUT_FILENO, &st) : stat(path.c_str(), &st);
    if (status != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

Destination::Destination(const std::string& path, bool allowStdout) : path_(path) {
    if (path == "-") {
        if (!allowStdout) throw UsageError("standard output (\"-\") takes only the audio; name a file here");
        if (isatty(STDOUT_FILENO)) throw Error("standard output is a terminal; redirect it or name OUT");
        struct stat st {};
        if (fstat(STDOUT_FILENO, &st) != 0) throw Error("cannot write standard output: " + Why());
        fd_ = STDOUT_FILENO;
        identity_ = FileId{st.st_dev, st.st_ino};
        target_ = path;
        return;
    }
    target_ = FollowLinks(path);
    struct stat st {};
    if (stat(target_.c_str(), &st) != 0) {
        if (errno != ENOENT) throw Error("cannot write " + path + ": " + Why());
        CheckFolder(path, target_);
        return;
    }
    if (S_ISDIR(st.st_mode)) throw Error("cannot write " + path + ": it is a folder");
    identity_ = FileId{st.st_dev, st.st_ino};
    if (S_ISREG(st.st_mode)) {
        CheckFolder(path, target_);
        return;
    }
    // A device or FIFO is never replaced; a FIFO's open waits for its reader.
    fd_ = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) throw Error("cannot write " + path + ": " + Why());
    ownsFd_ = true;
    if (isatty(fd_)) {
        close(fd_);
        throw Error("cannot write " + path + ": it is a terminal");
    }
}

Destination::~Destination() {
    if (ownsFd_) close(fd_);
}

PendingFile::PendingFile(const Destination& destination) : destination_(destination) {
    std::string folder;
    if (destination.inPlace()) {
        const char* tmp = std::getenv("TMPDIR");
        folder = tmp && *tmp ? tmp : "/tmp";
        temporary_ = folder + "/vstrun-XXXXXX";
    } else {
        folder = FolderOf(destination.target());
        temporary_ = destination.target() + ".partXXXXXX";
    }
    if (temporary_.size() >= slotPaths[0].size())
        throw Error("cannot write " + destination.path() + ": its name is too long");
    int error = 0;
    {
        const SignalsBlocked blocked;
        fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
        error = errno;
        for (int k = 0; fd_ >= 0 && k < kSlots; ++k)
            if (!slotUsed[k]) {
                std::memcpy(slotPaths[k].data(), temporary_.c_str(), temporary_.size() + 1);
                slotUsed[k] = 1;
                slot_ = k;
                break;
            }
    }
    if (fd_ < 0) throw Error("cannot create a temporary file in " + folder + ": " + std::strerror(error));
    if (slot_ < 0) {
        close(fd_);
        unlink(temporary_.c_str());
        throw Error("too many temporary files at once");
    }
}

PendingFile::~PendingFile() {
    if (fd_ >= 0) close(fd_);
    if (slot_ >= 0) unlink(temporary_.c_str());
    Unregister(slot_);
}

void PendingFile::Write(const std::vector<std::uint8_t>& bytes) {
    try {
        WriteAll(fd_, bytes.data(), bytes.size());
    } catch (const Error& e) {
        throw Error("cannot write " + destination_.path() + ": " + e.what());
    }
}

void PendingFile::Commit() {
    const std::string& named = destination_.path();
    if (destination_.inPlace()) {
        if (lseek(fd_, 0, SEEK_SET) != 0) throw Error("cannot read back " + temporary_ + ": " + Why());
        std::vector<std::uint8_t> buffer(1 << 16);
        for (;;) {
            const ssize_t n = read(fd_, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw Error("cannot read back " + temporary_ + ": " + Why());
            if (n == 0) break;
            try {
                WriteAll(destination_.fd(), buffer.data(), static_cast<std::size_t>(n));
            } catch (const Error& e) {
                throw Error("cannot write " + named + ": " + e.what());
            }
        }
        return; // the destructor removes the temporary file
    }
    struct stat st {};
    mode_t mode = 0666 & ~creationMask;
    if (stat(destination_.target().c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (fchown(fd_, st.st_uid, st.st_gid) != 0) {} // only root may give a file away; the mode is kept regardless
        mode = st.st_mode & 07777;
    }
    if (fchmod(fd_, mode) != 0 || fsync(fd_) != 0) throw Error("cannot write " + named + ": " + Why());
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw Error("cannot write " + named + ": " + Why());
    if (std::rename(temporary_.c_str(), destination_.target().c_str()) != 0)
        throw Error("cannot write " + named + ": " + Why());
    Unregister(slot_); // after the rename, so a signal before it still finds the file
    slot_ = -1;
}

namespace {
bool SameFile(const Destination& a, const Destination& b) {
    if (a.identity() || b.identity()) return a.identity() == b.identity();
    std::error_code error;
    return std::filesystem::weakly_canonical(a.target(), error) == std::filesystem::weakly_canonical(b.target(), error);
}
} // namespace

void RefuseOverlaps(const std::vector<std::pair<std::string, const Destination*>>& written,
                    const std::vector<std::pair<std::string, std::string>>& read) {
    for (std::size_t k = 0; k < written.size(); ++k) {
        const Destination& out = *written[k].second;
        for (const auto& [what, path] : read) {
            if (path == "-") continue; // standard input: no file of ours to guard
            const auto id = IdentityOf(path);
            if (out.identity() && id && *out.identity() == *id)
                throw Error("cannot write " + out.path() + ": it is the same file as " + what + " " + path);
        }
        for (std::size_t j = 0; j < k; ++j)
            if (SameFile(out, *written[j].second))
                throw Error("cannot write " + out.path() + ": it is both " + written[j].first + " and " +
                            written[k].first);
    }
}

} // namespace cli
