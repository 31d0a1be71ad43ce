#pragma once
// Pause, message boxes, processes and the web address: services the installer flow calls on
// its one thread. Delay and ShowMessageBox dispatch window messages while they run, so any
// window or timer event can run nested inside them.
#include <cstdint>

// Waits ms milliseconds while dispatching window messages; 0 or less returns at once.
void Delay(int32_t ms);

// Dispatches the waiting messages as the main loop would, but never takes a quit request.
void ProcessEvents();

// The button that closed a box, as a ButtonCode: OK 0, Cancel 1, Abort 2, Retry 3, Ignore 4,
// Yes 5, No 6; anything else (a box that could not be shown) 0.
int ButtonCodeOf(int buttonId);

// Shows a modal box with no owner; task-modal unless style asks for system-modal. A null
// title shows "信息：".
int ShowMessageBox(const char* text, uint32_t style, const char* title = nullptr);
uint32_t MessageBoxStyleFor(uint32_t style);

// Case-insensitive comparison of process names as the process search does it: A-Z folded,
// the trail byte of a double-byte character never changed.
bool ProcessNameMatches(const char* entryName, const char* name, bool caseSensitive);

uint32_t FindProcessId(const char* name, bool caseSensitive = false);
// A null name means the file name of the running program itself.
bool TerminateProcessByName(const char* name = nullptr, bool caseSensitive = false);

void OpenWebAddress(const char* address);
