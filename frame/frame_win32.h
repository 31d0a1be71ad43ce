#pragma once
// The program frame: start routine, message loop and the window-destroyed notice.
#include "services/text.h"

// Sets up the frame state, loads and shows InstallerWindow and runs the message loop.
// Answers 0 when the loop has ended.
int StartRoutine();
void MessageLoop();
// Told by the window engine each time one of the program's windows has been destroyed.
void OnWindowDestroyed();
// The first act of start-up: libraries are looked up in the system folder only.
void HardenLibrarySearch();
void MarkOleInitialised();
// The run directory: the folder of the program's path as GetModuleFileNameA puts it into
// buffer (size bytes). A path longer than the buffer comes back cut short (and, on older
// systems, without its terminating zero): it is scanned as returned.
Text ReadRunDirectory(char* buffer, int size);
