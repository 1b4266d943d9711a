// Operating-system services the runtime needs, one implementation per platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Full path of the module (plug-in library or executable) holding this code.
std::string ModulePath();

// Names of the entries of a folder in the order the system lists them;
// empty when the folder cannot be opened.
std::vector<std::string> FolderEntryNames(const std::string& folder);

enum class EntryKind { Unreadable, File, Folder };
EntryKind KindOf(const std::string& path);

struct WallTime {
    std::int64_t seconds;      // since the epoch
    std::int64_t microseconds; // 0 … 999999
};
WallTime WallClock();

} // namespace platform
