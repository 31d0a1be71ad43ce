#pragma once
// The spinner in SpinnerLabel: glyphs of the carried icon font, one per SpinTimer tick.
#include <cstdint>

#include "services/text.h"

constexpr int32_t kFirstGlyphCode = 0xE052;
constexpr int32_t kLastGlyphCode = 0xE0CB;
constexpr int32_t kSpinPeriod = 30;
constexpr int32_t kSpinPausePeriod = 250;
constexpr int32_t kElapsedPeriod = 1000;

extern void* SpinnerFontHandle;     // 0 when the font could not be added
extern int32_t SpinnerGlyphCode;    // the code point the next SpinTimer tick shows

// The character with that code point in the system ANSI code page.
Text GlyphText(int32_t code);

// Adds the carried font to the process's private fonts, sets the first glyph code and gives
// SpinnerLabel the face "Setup" (the first steps of the window-created event).
void PrepareSpinnerFont();
