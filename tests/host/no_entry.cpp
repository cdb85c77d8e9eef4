// Test fixture: a shared library with no VST entry point.
extern "C" __attribute__((visibility("default"))) int notAPlugin() { return 42; }
