#include "services/platform.h"

int ButtonCodeOf(int buttonId) {
  // IDOK 1 .. IDNO 7 map to 0 .. 6; anything else reads as OK.
  if (buttonId >= 1 && buttonId <= 7) return buttonId - 1;
  return 0;
}

uint32_t MessageBoxStyleFor(uint32_t style) {
  const uint32_t kSystemModal = 0x1000, kTaskModal = 0x2000;
  return (style & kSystemModal) ? style : (style | kTaskModal);
}

static unsigned char LowerProcessByte(unsigned char c) {
  return (c >= 0x41 && c <= 0x5A) ? static_cast<unsigned char>(c + 0x20) : c;
}

bool ProcessNameMatches(const char* entryName, const char* name, bool caseSensitive) {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(entryName ? entryName : "");
  const unsigned char* b = reinterpret_cast<const unsigned char*>(name ? name : "");
  // Both sides are folded the same way, byte by byte; a lead byte (0x80 and up) makes the
  // byte after it pass unchanged.
  bool trailA = false, trailB = false;
  for (;; ++a, ++b) {
    unsigned char ca = *a, cb = *b;
    if (!caseSensitive) {
      unsigned char la = trailA ? ca : LowerProcessByte(ca);
      unsigned char lb = trailB ? cb : LowerProcessByte(cb);
      trailA = !trailA && ca >= 0x80;
      trailB = !trailB && cb >= 0x80;
      ca = la;
      cb = lb;
    }
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}
