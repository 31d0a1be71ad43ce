#pragma once
// What the frame needs from the window engine (Win32 only).
#include <windows.h>

#include "window/installer_window.h"

// Creates InstallerWindow and its controls, raises the created event and shows the window.
// Answers false when the window could not be created.
bool LoadInstallerWindow();
// Keyboard pre-translation: answers true when the engine consumed the message (Esc closes).
bool EnginePreTranslate(MSG* msg);
// Draws the labels whose caption, colour or font changed since they were last drawn. Runs
// wherever the thread is about to look for messages (the loops, Delay, ProcessEvents, before
// a message box) and after timer ticks: a new look shows when the thread next dispatches
// messages, as a repaint would.
void EngineDrawPending();
// Idle processing; answers true while there is more idle work.
bool EngineIdle();
// The timers tick where the thread looks for messages (Delay, ProcessEvents, the message loop)
// and finds none waiting, as the system's WM_TIMER would; not inside a message box, whose
// loop is not the program's (the boxes open before any timer runs, or as the program ends).
// Runs the ticks that are due, each timer's at most once; answers true when one ran.
bool EngineRunDueTicks();
// Milliseconds until the next tick is due: 0 when one is due, INFINITE when no timer runs.
DWORD EngineNextTickIn();
// The window table: the live windows of the program (null when destroyed).
int WindowCount();
HWND WindowHandle(int index);
// Forgets idle work and the window descriptions (end clean-up); no window is destroyed.
void EngineForget();
// The program is ending through FatalError: from now on the window raises no event. The
// report box's own message loop would otherwise dispatch messages that raise them, and a
// handler that fails the same way would report again, box inside box.
void EngineHoldEvents();
// The child window of a label or the button; null for timers and once the window is gone.
HWND ControlHandle(Control control);
