#include "runtime/datapath.h"

#include "runtime/platform.h"

namespace quill {

namespace {
bool IsSeparator(char c) { return c == '/' || c == '\\'; }
} // namespace

std::string DataPath(const std::string& name) {
    std::string path = platform::ModulePath();
    const std::size_t cut = path.find_last_of("/\\");
    path.resize(cut == std::string::npos ? 0 : cut + 1);
    if (!name.empty() && IsSeparator(name[0])) path.append(name, 1, std::string::npos);
    else path += name;
    return path;
}

std::vector<std::string> ListDataFolder(const std::string& path) {
    std::vector<std::string> names;
    for (std::string& name : platform::FolderEntryNames(path)) {
        if (name.empty() || name[0] == '.') continue;
        if (platform::KindOf(path + name) != platform::EntryKind::File) continue;
        names.push_back(std::move(name));
    }
    return names;
}

double WallClockSeconds() {
    const platform::WallTime now = platform::WallClock();
    return static_cast<double>(now.seconds) + static_cast<double>(now.microseconds) * 0.000001;
}

} // namespace quill
