// Loading a plug-in module by path: one implementation per platform.
#pragma once

#include <string>

namespace vsthost::module {

// Null on failure, with the loader's own message in error.
void* Open(const std::string& path, std::string& error);
void* Symbol(void* handle, const char* name);
void Close(void* handle);

} // namespace vsthost::module
