// Clock, Delay, message boxes, processes, web address, program end and memory of the
// simulated platform.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "services/fatal.h"
#include "services/frame_state.h"
#include "services/memory.h"
#include "services/platform.h"
#include "services/system_functions.h"
#include "services/text_ops.h"
#include "sim/sim_internal.h"

namespace sim {

State& S() {
  static State state;
  return state;
}

void Note(const std::string& control, const std::string& property, const std::string& value) {
  S().timeline.push_back({S().now, control, property, value});
}

void Reset(const std::string& hostDir, uint32_t tickBase) {
  S() = State();
  S().tickBase = tickBase;
  Frame().runDirectory = Text(hostDir.c_str());
  Frame().loopStarted = false;
  Frame().ending = false;
  Frame().endRoutine = nullptr;
  ResetWindow();
  ResetFiles(hostDir);
}

int64_t Now() { return S().now; }
int ProcessEventsCalls() { return S().processEventsCalls; }
uint32_t TickCount() { return S().tickBase + static_cast<uint32_t>(S().now); }

int Run(const std::function<void()>& body) {
  try {
    body();
  } catch (const ProgramEnded& ended) {
    S().lastExitCode = ended.exitCode;
    return ended.exitCode;
  }
  return kDidNotEnd;
}

int LastExitCode() { return S().lastExitCode; }

const std::vector<Record>& Timeline() { return S().timeline; }

std::vector<Record> TimelineOf(const std::string& control, const std::string& property) {
  std::vector<Record> out;
  for (const auto& r : S().timeline)
    if (r.control == control && r.property == property) out.push_back(r);
  return out;
}

std::vector<Record> ShownStatus() { return TimelineOf("StatusLabel", "shown"); }

const std::vector<MessageBoxRecord>& MessageBoxes() { return S().boxes; }
void ScriptMessageBoxAnswer(int buttonId) { S().scriptedAnswers.push_back(buttonId); }

void AddProcess(uint32_t pid, const std::string& exeName, bool terminable) {
  S().processes.push_back({pid, exeName, terminable, true});
}
bool ProcessRunning(uint32_t pid) {
  for (const auto& p : S().processes)
    if (p.pid == pid) return p.running;
  return false;
}
std::vector<uint32_t> TerminatedProcesses() { return S().terminated; }
void FailSnapshot(bool fail) { S().failSnapshot = fail; }
std::vector<std::string> OpenedAddresses() { return S().addresses; }
void SetFontAddResult(uintptr_t handle) { S().fontAddResult = handle; }
std::vector<uintptr_t> RemovedFontHandles() { return S().removedFonts; }
int AddedFontBytes() { return S().addedFontBytes; }
void FailAllocations(int n) { S().failAllocations = n; }
bool EndCleanupRan() { return S().endCleanupRan; }

}  // namespace sim

using sim::S;

// ---- Delay: the rule of the real one, over the virtual tick counter. Between checks the
// clock jumps to the next due event or to the first instant past the wait.
void ProcessEvents() {
  ++S().processEventsCalls;
  sim::DispatchDue();
}

void Delay(int32_t ms) {
  if (ms <= 0) return;
  const uint32_t start = sim::TickCount();
  ProcessEvents();
  ProcessEvents();
  while (static_cast<uint32_t>(sim::TickCount() - start) <= static_cast<uint32_t>(ms)) {
    const int64_t deadline = S().now + (static_cast<int64_t>(ms) + 1 -
                                        static_cast<uint32_t>(sim::TickCount() - start));
    int64_t next = sim::NextDueTime();
    if (S().quitWaiting || next < 0 || next > deadline) next = deadline;
    if (next > S().now) S().now = next;
    ProcessEvents();
    ProcessEvents();
  }
}

int ShowMessageBox(const char* text, uint32_t style, const char* title) {
  S().boxes.push_back({S().now, text ? text : "", title ? title : "信息：", MessageBoxStyleFor(style)});
  int id = 1;
  if (!S().scriptedAnswers.empty()) {
    id = S().scriptedAnswers.front();
    S().scriptedAnswers.erase(S().scriptedAnswers.begin());
  }
  return ButtonCodeOf(id);
}

uint32_t FindProcessId(const char* name, bool caseSensitive) {
  if (S().failSnapshot) return 0;
  for (const auto& p : S().processes)
    if (p.running && ProcessNameMatches(p.name.c_str(), name, caseSensitive)) return p.pid;
  return 0;
}

bool TerminateProcessByName(const char* name, bool caseSensitive) {
  const uint32_t pid = FindProcessId(name ? name : "TovaraSetup.exe", caseSensitive);
  if (pid == 0) return false;
  for (auto& p : S().processes) {
    if (p.pid == pid && p.running) {
      if (!p.terminable) return false;
      p.running = false;
      S().terminated.push_back(pid);
      return true;
    }
  }
  return false;
}

void OpenWebAddress(const char* address) { S().addresses.push_back(address ? address : ""); }

// ---- The system's ANSI code page: 936, as on the Chinese systems the installer is made for.
bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// ---- The end of the program.
void ReleasePlatformResources() { S().endCleanupRan = true; }

void EndProgram(int exitCode) {
  RunEndCleanup();
  throw sim::ProgramEnded{exitCode};
}

void FatalError(const char* message, int code) {
  const FatalReport report = FatalErrorReport(message, code);
  S().boxes.push_back({S().now, report.c_str(), "错误", kFatalErrorBoxStyle});
  Frame().endRoutine = nullptr;
  EndProgram(-1);
}

// ---- Memory.
void* AllocateBytes(int count) {
  if (S().failAllocations != 0) {   // negative: every allocation from now on fails
    if (S().failAllocations > 0) --S().failAllocations;
    AllocationFailed(count);
  }
  void* p = count > 0 ? std::malloc(static_cast<size_t>(count)) : nullptr;
  if (!p) AllocationFailed(count);
  return p;
}

void ReleaseBytes(void* block) { std::free(block); }

// ---- The system function table's entries the portable code calls.
void* SysAddFontMemResourceEx(const void*, uint32_t size, void*, uint32_t* count) {
  S().addedFontBytes = static_cast<int>(size);
  if (count) *count = S().fontAddResult ? 1 : 0;
  return reinterpret_cast<void*>(S().fontAddResult);
}

int SysRemoveFontMemResourceEx(void* handle) {
  S().removedFonts.push_back(reinterpret_cast<uintptr_t>(handle));
  return handle ? 1 : 0;
}

// Code page 936 as far as the installer needs it: ASCII, and the private-use code points,
// which the code page keeps in its user-defined areas (U+E000.. from 0xAAA1 on, 94 a row).
int SysWideCharToMultiByte(uint32_t codePage, uint32_t, const void* wide, int wideLength,
                           char* out, int outSize, const char*, int*) {
  if (codePage != 0) return 0;
  const unsigned char* w = static_cast<const unsigned char*>(wide);
  std::string bytes;
  for (int i = 0; wideLength < 0 || i < wideLength; ++i) {
    unsigned code = w[2 * i] | (w[2 * i + 1] << 8);
    if (code < 0x80) {
      bytes.push_back(static_cast<char>(code));
      if (code == 0 && wideLength < 0) break;
    } else if (code >= 0xE000 && code < 0xE000 + 6 * 94) {
      unsigned k = code - 0xE000;
      bytes.push_back(static_cast<char>(0xAA + k / 94));
      bytes.push_back(static_cast<char>(0xA1 + k % 94));
    } else {
      bytes.push_back('?');
    }
  }
  const int need = static_cast<int>(bytes.size());
  if (outSize == 0) return need;
  if (outSize < need) return 0;
  std::memcpy(out, bytes.data(), need);
  return need;
}
