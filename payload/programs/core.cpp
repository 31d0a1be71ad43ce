// The core library the plugin relies on. It reports its release and remembers the folder
// it was opened for.
#include <windows.h>

#define CORE_API extern "C" __declspec(dllexport)

namespace {

const char kCoreVersion[] = "1.3.1";
char g_folder[MAX_PATH] = "";
LONG g_users = 0;

}  // namespace

CORE_API const char* __stdcall CoreVersion() { return kCoreVersion; }

// Opens the core for a folder; every open is matched by one CoreRelease.
CORE_API int __stdcall CoreInit(const char* folder) {
  if (folder != nullptr) lstrcpynA(g_folder, folder, MAX_PATH);
  return InterlockedIncrement(&g_users);
}

CORE_API int __stdcall CoreRelease() {
  if (g_users == 0) return 0;
  return InterlockedDecrement(&g_users);
}

CORE_API const char* __stdcall CoreFolder() { return g_folder; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
