// A module whose entry point refuses every host, for the host's error paths.
extern "C" __attribute__((visibility("default"))) void* VSTPluginMain(void*) { return nullptr; }
