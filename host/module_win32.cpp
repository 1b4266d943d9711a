#include <windows.h>

#include "host/module.h"

namespace vsthost::module {

void* Open(const std::string& path, std::string& error) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (!handle) {
        const DWORD code = GetLastError();
        char message[512] = {};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, message,
                       sizeof message, nullptr);
        error = message[0] ? message : "LoadLibrary failed with code " + std::to_string(code);
        while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
    }
    return handle;
}

void* Symbol(void* handle, const char* name) {
    return handle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name)) : nullptr;
}

void Close(void* handle) {
    if (handle) FreeLibrary(static_cast<HMODULE>(handle));
}

} // namespace vsthost::module
