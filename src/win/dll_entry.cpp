// The DLL's entry point. Process attach only turns off the thread attach and
// detach notifications; it runs no code of the library under the loader lock
// (no threads are started, joined or freed there). Winsock 2.2 is initialised
// by the network layer's static set-up (Boost.Asio's winsock_init object)
// when the DLL's static objects are constructed.
#if defined(_WIN32)

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

#endif  // _WIN32
