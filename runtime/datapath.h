// Paths of data files, resolved against the folder that holds the plug-in.
#pragma once

#include <string>
#include <vector>

namespace quill {

// The module's folder (with its separator) followed by the name, less a
// leading separator.
std::string DataPath(const std::string& name);

// Names of the plain files in a folder, in the system's order. Dot-files,
// folders and entries whose attributes cannot be read are left out; the
// attributes are read at path + name with no separator added.
std::vector<std::string> ListDataFolder(const std::string& path);

// Seconds since the epoch, with microseconds as the fraction.
double WallClockSeconds();

} // namespace quill
