#pragma once
// InstallerWindow, its eleven controls and the properties the installer reads and writes.
// Every access goes through the window engine (engine_win32.cpp on Windows, the simulated
// engine in sim/ for the native tests).
#include <cstdint>

#include "services/text.h"

// The controls in creation order, which is also their stacking order (first on top).
enum class Control : int {
  InstallButton = 0,
  StartHintLabel,
  PluginInfoLabel,
  ElapsedTimer,
  ElapsedUnit,
  ElapsedValue,
  ElapsedCaption,
  StatusLabel,
  SpinnerLabel,
  SpinPauseTimer,
  SpinTimer,
};
constexpr int kControlCount = 11;

// The windows of the program. There is one; the index exists so that an access naming a
// window the program does not have can be told apart.
enum class WindowId : int { InstallerWindow = 0 };

// Colours are 0x00BBGGRR.
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kCounterGreen = 0x00E080;
constexpr uint32_t kCounterOrange = 0x80FF;
constexpr uint32_t kCounterRed = 0xFF;

// Mouse pointer kinds of the window.
constexpr int kPointerDefault = 0;
constexpr int kPointerWait = 4;

// Property writes. Caption, interval, text colour and font face of a window that is no
// longer open end the program ("指定窗口尚未载入"); visible, disabled and the pointer are
// only recorded then.
void SetCaption(Control control, const char* caption);
Text GetCaption(Control control);
void SetVisible(Control control, bool visible);
void SetDisabled(Control control, bool disabled);
void SetInterval(Control timer, int32_t milliseconds);
void SetTextColour(Control label, uint32_t colour);
void SetFontFace(Control label, const char* face);
void SetMousePointer(int kind);

// Replaces the status message in StatusLabel; shown at the next repaint.
void SetStatus(const char* text);

// The same accesses naming a window explicitly (the engine's general entry points).
void SetCaptionOf(WindowId window, Control control, const char* caption);
Text GetCaptionOf(WindowId window, Control control);

// The plugin's web site, opened by a click on PluginInfoLabel and shown at the end of its
// second line.
extern const char kPluginWebAddress[];
