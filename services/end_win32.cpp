// The two ways the program ends itself.
#include <windows.h>
#include <ole2.h>

#include "services/fatal.h"
#include "services/frame_state.h"
#include "services/system_functions_win32.h"
#include "window/engine_win32.h"

static bool g_oleInitialised = false;

void MarkOleInitialised() { g_oleInitialised = true; }

void ReleasePlatformResources() {
  EngineForget();
  ReleaseSystemFunctions();
  if (g_oleInitialised) {
    g_oleInitialised = false;
    OleUninitialize();
  }
}

void EndProgram(int exitCode) {
  RunEndCleanup();
  ExitProcess(static_cast<UINT>(exitCode));
}

void FatalError(const char* message, int code) {
  // Nothing the report box dispatches may report again; should anything still fail while
  // the box is up, the program ends at once instead of stacking boxes.
  static bool reporting = false;
  if (reporting) EndProgram(-1);
  reporting = true;
  EngineHoldEvents();
  // Built without the heap: this is also where a failed allocation ends.
  const FatalReport report = FatalErrorReport(message, code);
  // A waiting quit request (the window was closed during a Delay) would end the box's modal
  // loop at once; the user must see the report, so take it out of the queue first.
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  MessageBoxA(nullptr, report.c_str(), "错误", kFatalErrorBoxStyle);
  Frame().endRoutine = nullptr;
  EndProgram(-1);
}
