#include <dlfcn.h>

#include "host/module.h"

namespace vsthost::module {

void* Open(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* message = dlerror();
        error = message ? message : "dlopen failed";
    }
    return handle;
}

void* Symbol(void* handle, const char* name) { return handle ? dlsym(handle, name) : nullptr; }

void Close(void* handle) {
    if (handle) dlclose(handle);
}

} // namespace vsthost::module
