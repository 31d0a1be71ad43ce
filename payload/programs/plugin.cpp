// The plugin library the host loads from its plugin folder. It announces itself and keeps
// track of the state the host gives it; it does no work of its own.
#include <windows.h>

#define PLUGIN_API extern "C" __declspec(dllexport)

namespace {

const char kAppInfo[] = "Tovara娱乐插件,1.3.1";

int g_session = 0;
bool g_running = false;
bool g_enabled = false;

}  // namespace

// Name and release of the plugin, as the host lists it.
PLUGIN_API const char* __stdcall AppInfo() { return kAppInfo; }

// The host hands over its session number before anything else.
PLUGIN_API int __stdcall Initialize(int session) {
  g_session = session;
  return 0;
}

PLUGIN_API int __stdcall PluginStart() {
  g_running = true;
  return 0;
}

PLUGIN_API int __stdcall PluginStop() {
  g_running = false;
  g_enabled = false;
  return 0;
}

PLUGIN_API int __stdcall PluginEnable() {
  g_enabled = g_running || g_session != 0;
  return 0;
}

PLUGIN_API int __stdcall PluginDisable() {
  g_enabled = false;
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
