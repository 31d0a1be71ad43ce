#include "services/frame_state.h"

#include "services/text_ops.h"

FrameState& Frame() {
  static FrameState state;
  return state;
}

Text FolderOfPath(const char* path) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(path ? path : "");
  int lastSlash = -1;
  for (int i = 0; p[i] != 0; ++i) {
    if (p[i] >= 0x81 && p[i] <= 0xFE) {   // a lead byte of code page 936
      if (p[i + 1] == 0) break;   // a lone lead byte ends the name
      ++i;                        // the trail byte is never a separator
    } else if (p[i] == '\\') {
      lastSlash = i;
    }
  }
  if (lastSlash < 0) return Text();
  return Text(path, lastSlash);
}

void RunEndCleanup() {
  FrameState& f = Frame();
  f.ending = true;
  if (f.endRoutine) {
    void (*routine)() = f.endRoutine;
    f.endRoutine = nullptr;
    routine();
  }
  ReleasePlatformResources();
}

Text RunDirectory() { return Frame().runDirectory.Copy(); }
