#include "window/spinner.h"

#include "payload/carried.h"
#include "services/system_functions.h"
#include "services/text_ops.h"
#include "window/events.h"
#include "window/installer_window.h"

void* SpinnerFontHandle = nullptr;
int32_t SpinnerGlyphCode = 0;


Text GlyphText(int32_t code) {
  // The four little-endian bytes of a code below 0x10000 are a zero-terminated UTF-16 string
  // of one character.
  ByteBlock wide = ToBytes(code);
  const int needed = SysWideCharToMultiByte(0, 0, wide.Data(), -1, nullptr, 0, nullptr, nullptr);
  Text buffer = Spaces(needed);
  if (buffer.Empty()) return Text();
  SysWideCharToMultiByte(0, 0, wide.Data(), -1, const_cast<char*>(buffer.c_str()), needed,
                         nullptr, nullptr);
  return Text(buffer.c_str());   // up to the first zero byte
}

// The unpacked font lives only for the call that adds it: the system keeps a copy of its
// own. A damaged one is not added (handle 0).
void PrepareSpinnerFont() {
  uint32_t added = 0;
  ByteBlock spinnerFont;
  SpinnerFontHandle = UnpackSpinnerFont(&spinnerFont)
                          ? SysAddFontMemResourceEx(spinnerFont.Data(),
                                                    static_cast<uint32_t>(ByteLength(spinnerFont)), nullptr, &added)
                          : nullptr;
  SpinnerGlyphCode = kFirstGlyphCode;
  SetFontFace(Control::SpinnerLabel, "Setup");
}

void OnInstallerWindowDestroying() {
  SysRemoveFontMemResourceEx(SpinnerFontHandle);
}

void OnSpinTimerTick() {
  Text glyph = GlyphText(SpinnerGlyphCode);
  SetCaption(Control::SpinnerLabel, glyph.c_str());
  ++SpinnerGlyphCode;
  if (SpinnerGlyphCode > kLastGlyphCode) {
    // The last glyph written above is replaced before any repaint: a cycle shows 121 glyphs.
    SpinnerGlyphCode = kFirstGlyphCode;
    SetCaption(Control::SpinnerLabel, " ");
    SetInterval(Control::SpinPauseTimer, kSpinPausePeriod);
    SetInterval(Control::SpinTimer, 0);
  }
}

void OnSpinPauseTimerTick() {
  SetInterval(Control::SpinTimer, kSpinPeriod);
  SetInterval(Control::SpinPauseTimer, 0);
}
