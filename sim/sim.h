#pragma once
// The simulated platform: the same platform functions the installer calls, over a virtual
// millisecond clock, for native tests. Every property write and every repaint is recorded as
// a timeline that tests compare; message boxes, started programs and opened addresses are
// recorded too. EndProgram and FatalError end the scenario by throwing sim::ProgramEnded (the
// product code itself never throws or catches).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "window/installer_window.h"

namespace sim {

struct ProgramEnded {
  int exitCode;
};

// One property write or repaint. `property` is one of "caption", "visible", "disabled",
// "interval", "colour", "font", "pointer"; repaints are "shown" (a label's caption drawn at a
// dispatch). Values are GBK bytes for captions and faces, decimal for numbers.
struct Record {
  int64_t time;
  std::string control;   // control name, or "InstallerWindow"
  std::string property;
  std::string value;
};

struct MessageBoxRecord {
  int64_t time;
  std::string text;
  std::string title;
  uint32_t style;        // the style handed to the platform
};

// Starts a fresh scenario: clock at 0 (tick counter at tickBase), no window, no records,
// run directory hostDir.
void Reset(const std::string& hostDir, uint32_t tickBase = 1000000);

int64_t Now();                 // virtual milliseconds since Reset
int ProcessEventsCalls();      // how often ProcessEvents ran since Reset
uint32_t TickCount();          // the platform's 32-bit tick counter (tickBase + Now)

// Runs body (a scenario step that may end the program) and answers the exit code it ended
// with, or nullopt-like -2 when it returned without ending the program.
constexpr int kDidNotEnd = -2;
int Run(const std::function<void()>& body);

// The window: loads it as the frame does (created event, then shown). Answers false when
// the created event ended the program (the exit code is then in LastExitCode()).
bool LoadInstallerWindow();
bool WindowOpen();
bool WindowShown();
// The user clicks InstallButton (ignored while disabled or once closed); runs the click
// event, which runs the installation. Answers the exit code, or kDidNotEnd.
int ClickInstallButton();
// The user closes the window at virtual time `at` (during a Delay or a message box).
void CloseWindowAt(int64_t at);
void CloseWindowNow();
// Lets time pass with the message loop idle (ticks delivered), e.g. to watch the spinner.
void RunMessageLoopFor(int64_t ms);
int LastExitCode();

const std::vector<Record>& Timeline();
std::vector<Record> TimelineOf(const std::string& control, const std::string& property);
// The status texts as they were drawn, with the time of the repaint.
std::vector<Record> ShownStatus();

// State of controls as the engine holds them.
std::string CaptionOf(Control control);
int IntervalOf(Control timer);
uint32_t TextColourOf(Control label);
std::string FontFaceOf(Control label);
bool VisibleOf(Control control);
bool DisabledOf(Control control);
int MousePointer();

// Message boxes: recorded; each answers the next scripted button id (IDOK when none).
const std::vector<MessageBoxRecord>& MessageBoxes();
void ScriptMessageBoxAnswer(int buttonId);

// Processes for the process search: listed in snapshot order.
void AddProcess(uint32_t pid, const std::string& exeName, bool terminable = true);
bool ProcessRunning(uint32_t pid);
std::vector<uint32_t> TerminatedProcesses();
void FailSnapshot(bool fail);

std::vector<std::string> OpenedAddresses();

// Private fonts added through the system function table.
void SetFontAddResult(uintptr_t handle);   // default: a non-zero handle
std::vector<uintptr_t> RemovedFontHandles();
int AddedFontBytes();                      // length passed to the last add, 0 if none

// The next n allocations fail (memory service); n = -1: every allocation from now on.
void FailAllocations(int n);

// The end routine registration check.
bool EndCleanupRan();

}  // namespace sim
