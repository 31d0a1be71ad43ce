#include <windows.h>

#include "services/platform.h"
#include "window/engine_win32.h"

int ShowMessageBox(const char* text, uint32_t style, const char* title) {
  // The box runs its own message loop: what the window changed shows before it opens.
  EngineDrawPending();
  int id = MessageBoxA(nullptr, text ? text : "", title ? title : "信息：",
                       MessageBoxStyleFor(style));
  // Esc on a box with an OK button only answers IDOK on Windows; Wine answers IDCANCEL.
  if (id == IDCANCEL && (style & MB_TYPEMASK) == MB_OK) id = IDOK;
  return ButtonCodeOf(id);
}
