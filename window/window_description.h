#pragma once
// The compiled-in description of InstallerWindow: window attributes and the eleven controls
// in creation order. The engines build the window from it; tests read it without a window.
#include <cstdint>

#include "window/installer_window.h"

enum class ControlKind { PushButton, Label, Timer };
enum class LabelLayout { OneLine, WordWrap };

struct FontDescription {
  int height;            // character height in pixels, without internal leading; 0: GUI font
  int weight;
  const char* face;      // null or "": no face given, the system chooses
};

struct ControlDescription {
  Control control;
  const char* name;
  ControlKind kind;
  int left, top, width, height;
  const char* caption;
  bool visible;
  bool useGuiFont;       // the system's DEFAULT_GUI_FONT instead of `font`
  FontDescription font;
  uint32_t textColour;
  LabelLayout layout;
  void (*event)();       // click, mouse-up or tick; null when none
};

struct WindowDescription {
  const char* title;
  int outerWidth, outerHeight;
  uint32_t background;
  void (*created)();
  void (*destroying)();
};

extern const WindowDescription kInstallerWindowDescription;
extern const ControlDescription kInstallerControls[kControlCount];

const ControlDescription& DescriptionOf(Control control);
