// The names of the temporary files that whole-file writes go through, shared by both
// platforms' WriteWholeFile.
#include <cstdio>

#include "services/file_ops.h"
#include "services/frame_state.h"
#include "services/text_ops.h"

Text BesideTarget(const char* target, const char* name) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(target ? target : "");
  int nameStart = 0;
  for (int i = 0; p[i] != 0; ++i) {
    if (IsLeadByte(p[i])) {
      if (p[i + 1] == 0) break;
      ++i;
    } else if (p[i] == '\\') {
      nameStart = i + 1;
    }
  }
  Text folder(target, nameStart);
  return Concat({folder.c_str(), name});
}

Text WriteTempPath(const char* target, int n) {
  Text name = Concat({"~tv", ToText(static_cast<int32_t>(n)).c_str(), ".tmp"});
  return BesideTarget(target, name.c_str());
}

bool IsWriteTempName(const char* name) {
  const char* p = name ? name : "";
  return p[0] == '~' && p[1] == 't' && p[2] == 'v' && p[3] >= '1' && p[3] <= '0' + kWriteTempLast &&
         p[4] == '.' && p[5] == 't' && p[6] == 'm' && p[7] == 'p' && p[8] == 0;
}
