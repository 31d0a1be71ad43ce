#pragma once
// The program frame: start routine, message loop and the window-destroyed notice.

// Sets up the frame state, loads and shows InstallerWindow and runs the message loop.
// Answers 0 when the loop has ended.
int StartRoutine();
void MessageLoop();
// Told by the window engine each time one of the program's windows has been destroyed.
void OnWindowDestroyed();
// The first act of start-up: libraries are looked up in the system folder only.
void HardenLibrarySearch();
void MarkOleInitialised();
