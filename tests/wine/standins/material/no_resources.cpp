// A library without any resource, so without version information.
extern "C" __declspec(dllexport) int PelorinTestNoResources() { return 0; }
