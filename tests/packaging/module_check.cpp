// module_check PATH SYMBOL...: opens an installed plug-in module through the
// host library's loader and looks up its entry symbols; exits 1, naming what
// failed, when the module does not load or lacks one of them.
#include <cstdio>
#include <string>

#include "host/module.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: module_check PATH SYMBOL...\n", stderr);
        return 2;
    }
    std::string error;
    void* handle = vsthost::module::Open(argv[1], error);
    if (!handle) {
        std::fprintf(stderr, "%s does not load: %s\n", argv[1], error.c_str());
        return 1;
    }
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        if (!vsthost::module::Symbol(handle, argv[i])) {
            std::fprintf(stderr, "%s has no %s\n", argv[1], argv[i]);
            status = 1;
        }
    }
    vsthost::module::Close(handle);
    return status;
}
