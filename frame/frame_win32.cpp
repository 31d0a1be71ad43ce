#include "frame/frame_win32.h"

#include <windows.h>
#include <ole2.h>

#include "services/dispatch_win32.h"
#include "services/fatal.h"
#include "services/frame_state.h"
#include "window/engine_win32.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

void HardenLibrarySearch() {
  // Keep the host folder (full of plugin DLLs) and the current directory out of every later
  // library search, the shell's included.
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryA("");
}

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

Text ReadRunDirectory(char* buffer, int size) {
  const DWORD n = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
  return FolderOfPath(buffer, n <= static_cast<DWORD>(size) ? static_cast<int>(n) : size);
}

static void NoEndWork() {}

int StartRoutine() {
  FrameState& frame = Frame();
  if (SUCCEEDED(OleInitialize(nullptr))) MarkOleInitialised();
  char path[MAX_PATH];
  frame.runDirectory = ReadRunDirectory(path, MAX_PATH);
  SetCurrentDirectoryA(frame.runDirectory.c_str());
  // The window description is compiled in; the system function table needs no filling.
  frame.endRoutine = NoEndWork;
  if (!LoadInstallerWindow()) FatalError("载入启动窗口失败", 0);
  frame.loopStarted = true;
  bool anyWindow = false;
  for (int i = 0; i < WindowCount(); ++i) anyWindow = anyWindow || IsWindow(WindowHandle(i));
  if (anyWindow) MessageLoop();
  return 0;
}

void MessageLoop() {
  MSG msg;
  for (;;) {
    EngineDrawPending();
    while (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (EngineIdle()) continue;
      // The queue is empty: the timer ticks that are due run, then the thread waits for the
      // next message or the next tick.
      if (EngineRunDueTicks()) EngineDrawPending();
      MsgWaitForMultipleObjectsEx(0, nullptr, EngineNextTickIn(), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    }
    if (!GetMessageA(&msg, nullptr, 0, 0)) return;   // the quit request
    DispatchOneMessage(&msg);
  }
}

void OnWindowDestroyed() {
  for (int i = 0; i < WindowCount(); ++i)
    if (IsWindow(WindowHandle(i))) return;
  if (Frame().loopStarted) PostQuitMessage(0);
}
