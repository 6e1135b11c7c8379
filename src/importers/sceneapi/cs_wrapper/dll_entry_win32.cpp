// The library's entry point on Windows: loading the library only asks the system not to send it
// thread notifications; everything else waits for the host's first call.

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
