// Where the files vstrun writes go, settled before any work: a regular file is
// replaced through a temporary file beside it and a rename, a symbolic link is
// followed, a device, FIFO or standard output ("-") is written in place. Every
// temporary file is removed on failure and on SIGINT, SIGTERM, SIGHUP and SIGPIPE.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace cli {

// Installs the signal handlers that remove temporary files, and notes the umask.
void InstallCleanup();

// A file as the system knows it, whatever the path that names it.
struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId&) const = default;
};
// The file at path, links followed ("-" is standard output); none when it does not exist.
std::optional<FileId> IdentityOf(const std::string& path);

class Destination {
public:
    // Resolves path and opens it when it is written in place; throws Error for
    // a folder, a missing or unwritable folder, or a terminal as standard output.
    Destination(const std::string& path, bool allowStdout);
    ~Destination();
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    const std::string& path() const { return path_; } // as the user named it
    bool inPlace() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // The file the path names now, or the one it will name once written.
    std::optional<FileId> identity() const { return identity_; }
    const std::string& target() const { return target_; }

private:
    std::string path_, target_;
    int fd_ = -1;
    bool ownsFd_ = false;
    std::optional<FileId> identity_;
};

// The bytes of one destination while they are written: a temporary file beside
// the target (in TMPDIR for one written in place), removed unless committed.
class PendingFile {
public:
    explicit PendingFile(const Destination& destination);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    int fd() const { return fd_; }
    void Write(const std::vector<std::uint8_t>& bytes);
    // Renames the file onto the target, keeping the mode an existing file had
    // (else the umask's), or copies its bytes into the destination in place.
    void Commit();

private:
    const Destination& destination_;
    std::string temporary_;
    int fd_ = -1, slot_ = -1;
};

// Refuses, before any work, to write a file that is also read or written
// otherwise: each destination (with what it is for) against the files read
// (with what they are) and against each other.
void RefuseOverlaps(const std::vector<std::pair<std::string, const Destination*>>& written,
                    const std::vector<std::pair<std::string, std::string>>& read);

} // namespace cli
