#include "services/frame_state.h"

#include "services/text_ops.h"

FrameState& Frame() {
  static FrameState state;
  return state;
}

Text FolderOfPath(const char* path, int length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(path ? path : "");
  auto within = [&](int i) { return (length < 0 || i < length) && p[i] != 0; };
  int lastSlash = -1;
  for (int i = 0; within(i); ++i) {
    if (IsLeadByte(p[i])) {
      if (!within(i + 1)) break;   // a lone lead byte ends the name
      ++i;                         // the trail byte is never a separator
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
