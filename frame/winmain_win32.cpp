// Process entry: the standard start-up of a graphical program. Neither the command line nor
// the start-up show state is looked at.
#include <windows.h>

#include "frame/frame_win32.h"
#include "services/frame_state.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HardenLibrarySearch();
  const int result = StartRoutine();
  RunEndCleanup();
  ExitProcess(static_cast<UINT>(result));
}
