#pragma once
// State shared by the pieces of the simulated platform.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim.h"

namespace sim {

struct ControlState {
  std::string caption;
  std::string shownCaption;     // what the last repaint drew
  bool captionDirty = false;
  bool visible = false;
  bool disabled = false;
  int interval = 0;
  int64_t nextDue = 0;          // timers: when the next tick falls due
  uint32_t colour = 0;
  std::string face;
  int fontHeight = 0;
  int fontWeight = 0;
};

struct State {
  int64_t now = 0;
  uint32_t tickBase = 0;
  bool windowLoaded = false;
  bool windowOpen = false;
  bool windowShown = false;
  bool quitWaiting = false;
  int64_t closeAt = -1;
  int pointer = 0;
  ControlState controls[kControlCount];
  std::vector<Record> timeline;
  std::vector<MessageBoxRecord> boxes;
  std::vector<int> scriptedAnswers;
  struct Process { uint32_t pid; std::string name; bool terminable; bool running; };
  std::vector<Process> processes;
  std::vector<uint32_t> terminated;
  bool failSnapshot = false;
  std::vector<std::string> addresses;
  uintptr_t fontAddResult = 0x5E7F;
  std::vector<uintptr_t> removedFonts;
  int addedFontBytes = 0;
  int failAllocations = 0;
  int lastExitCode = kDidNotEnd;
  bool endCleanupRan = false;
  int processEventsCalls = 0;
};

State& S();
void Note(const std::string& control, const std::string& property, const std::string& value);
// One round of dispatch at the current virtual time: due ticks, a pending close, repaints.
// Answers false when a quit request waits (nothing is dispatched then).
bool DispatchDue();
// The earliest time something is due (a timer tick or the user's close), or -1.
int64_t NextDueTime();
void ResetWindow();
void ResetFiles(const std::string& hostDir);   // file operations (sim/sim_files.cpp)

}  // namespace sim
