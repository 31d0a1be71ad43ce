#include <windows.h>

#include "services/platform.h"

int ShowMessageBox(const char* text, uint32_t style, const char* title) {
  int id = MessageBoxA(nullptr, text ? text : "", title ? title : "信息：",
                       MessageBoxStyleFor(style));
  // Esc on a box with an OK button only answers IDOK on Windows; Wine answers IDCANCEL.
  if (id == IDCANCEL && (style & MB_TYPEMASK) == MB_OK) id = IDOK;
  return ButtonCodeOf(id);
}
