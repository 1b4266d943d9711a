// A loadable module with no VST 2.4 entry point, for the host's error paths.
extern "C" __attribute__((visibility("default"))) int not_a_plugin() { return 0; }
