#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "runtime/platform.h"

namespace platform {

std::string ModulePath() {
    std::string path;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) && info.dli_fname) path = info.dli_fname;
    // The main program may be reported by a bare or relative name.
    if (path.find('/') == std::string::npos) {
        char buffer[PATH_MAX];
        const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n > 0) path.assign(buffer, static_cast<std::size_t>(n));
    }
    if (!path.empty() && path[0] != '/') {
        if (char* absolute = realpath(path.c_str(), nullptr)) {
            path = absolute;
            free(absolute);
        }
    }
    return path;
}

std::vector<std::string> FolderEntryNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
    closedir(dir);
    return names;
}

EntryKind KindOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return EntryKind::Unreadable;
    return S_ISDIR(st.st_mode) ? EntryKind::Folder : EntryKind::File;
}

WallTime WallClock() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return {static_cast<std::int64_t>(tv.tv_sec), static_cast<std::int64_t>(tv.tv_usec)};
}

} // namespace platform
