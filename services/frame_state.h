#pragma once
// The process-wide state the frame sets up at start and the services read.
#include "services/text.h"

struct FrameState {
  Text runDirectory;                 // HostDir: the program's folder, no trailing backslash
  bool loopStarted = false;          // set just before the message loop is entered
  bool ending = false;               // set when the end clean-up begins
  void (*endRoutine)() = nullptr;    // run once by the end clean-up
};

FrameState& Frame();

// The folder part of a program path: everything before the last backslash, found by a scan
// that steps over double-byte characters (a 0x5C trail byte is not a backslash). Empty when
// there is no backslash. At most length bytes are scanned (up to a zero byte when length is
// negative), so a path cut short by the system is scanned as it was returned.
Text FolderOfPath(const char* path, int length = -1);

// A lead byte of a double-byte character in the system's ANSI code page (IsDBCSLeadByte on
// Windows; the simulated platform answers for code page 936).
bool IsLeadByte(unsigned char byte);

// The end clean-up shared by EndProgram and the end of the message loop: marks the program as
// ending, runs the end routine once, then the platform's own releases.
void RunEndCleanup();
void ReleasePlatformResources();     // the platform's part: modules, OLE (per backend)
