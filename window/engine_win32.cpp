// The window engine: builds InstallerWindow from its description table, raises its events on
// the one thread and applies the property writes of the installer.
//
// All state of the window lives in one EngineWindow record. The window procedures are
// dispatch lists; each message has a small OnXxx handler. Labels are children of our own
// class that paint themselves with PaintLabel; InstallButton is an owner-drawn button.
#include "window/engine_win32.h"

#include <windows.h>

#include "frame/frame_win32.h"
#include "services/fatal.h"
#include "window/window_description.h"

namespace {

const char kWindowClass[] = "TovaraInstallerWindow";
const char kLabelClass[] = "TovaraLabel";
const int kFaceBytes = LF_FACESIZE;   // a face name of 32 bytes or more does not fit
const char kFallbackFace[] = "宋体";
const COLORREF kLabelBackground = RGB(0, 0, 0);
const COLORREF kButtonFace = RGB(0, 0, 0);
const COLORREF kButtonText = RGB(255, 255, 255);
const COLORREF kButtonDisabledText = RGB(0x80, 0x80, 0x80);
const COLORREF kButtonFrame = RGB(0x80, 0x80, 0x80);
const COLORREF kButtonPressedFrame = RGB(255, 255, 255);

struct ControlState {
  HWND hwnd = nullptr;          // labels and the button; timers have none
  Text caption;
  bool visible = false;
  bool disabled = false;
  int32_t interval = 0;         // timers: 0 stopped
  DWORD due = 0;                // running timers: the tick count at which the next tick is due
  COLORREF textColour = 0;
  bool hasFont = false;         // false: the GUI font
  LOGFONTA font = {};
  HFONT fontHandle = nullptr;   // made from `font`, owned
  bool drawPending = false;     // a label whose look changed since it was last drawn
};

struct EngineWindow {
  HWND hwnd = nullptr;          // null before loading and once destroyed
  bool loaded = false;          // LoadInstallerWindow has created it (it may be gone since)
  bool createdRaised = false;   // the created event ran, so the destroying event is due
  bool eventsHeld = false;      // the program is ending with a fatal report: no more events
  int pointer = 0;              // MousePointer kind
  HFONT font = nullptr;         // the window's font (WM_SETFONT), not owned
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  ControlState controls[kControlCount];
};

EngineWindow g_window;

// Child window ids are the row number (row 1 = InstallButton).
UINT_PTR IdOf(int index) { return static_cast<UINT_PTR>(index + 1); }

int IndexOfId(UINT_PTR id) {
  const int index = static_cast<int>(id) - 1;
  return (index >= 0 && index < kControlCount) ? index : -1;
}

ControlState& StateOf(Control control) { return g_window.controls[static_cast<int>(control)]; }

// Byte for byte: a comparison by the locale's sort order may take different private-use
// glyphs (the spinner's) for equal.
bool SameBytes(const Text& text, const char* other) {
  const char* a = text.c_str();
  const char* b = other ? other : "";
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

HFONT GuiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

bool WindowOpen() { return g_window.hwnd != nullptr; }

// ---------------------------------------------------------------------------------------
// Fonts

// A label font as the installer asks for it: stored height (character height, so negative),
// weight and face; everything else fixed: default character set, proof quality.
HFONT CreateLabelFont(const LOGFONTA& stored) {
  return CreateFontA(stored.lfHeight, 0, 0, 0, stored.lfWeight, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, stored.lfFaceName);
}

// A label's own DC may still hold the font it painted with last: the font is taken out of
// the DC before it is deleted.
void ReleaseFontFromLabel(const ControlState& state) {
  if (!state.hwnd || !state.fontHandle) return;
  HDC dc = GetDC(state.hwnd);
  if (!dc) return;
  if (GetCurrentObject(dc, OBJ_FONT) == state.fontHandle)
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
  ReleaseDC(state.hwnd, dc);
}

void ReplaceLabelFont(ControlState& state, const LOGFONTA& font) {
  HFONT created = CreateLabelFont(font);
  ReleaseFontFromLabel(state);
  if (state.fontHandle) DeleteObject(state.fontHandle);
  state.font = font;
  state.hasFont = true;
  state.fontHandle = created;
}

HFONT FontInUse(const ControlState& state) {
  return (state.hasFont && state.fontHandle) ? state.fontHandle : GuiFont();
}

void CopyFace(LOGFONTA& font, const char* face) {
  lstrcpynA(font.lfFaceName, face ? face : "", kFaceBytes);
}

// ---------------------------------------------------------------------------------------
// Painting

// The colours the window paints with are all stock colours, so painting makes and deletes no
// brush: black, white and the grey of 0x80 each have a stock brush.
HBRUSH StockBrush(COLORREF colour) {
  switch (colour) {
    case RGB(255, 255, 255):    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    case RGB(0x80, 0x80, 0x80): return static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    default:                    return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  }
}

struct LabelPaintState {
  const char* caption;
  HFONT font;
  COLORREF textColour;
  LabelLayout layout;
};

// Black fill, then the caption in the label's font and colour over a transparent background.
// A one-line caption is cut at the edges and centred vertically; a word-wrapped one starts at
// the top, and what falls below the bottom edge is clipped away (the DC is the label's own,
// clipped to it). "&" is never a prefix. The DC keeps the font from one paint to the next:
// selecting a font is work for the display driver (under Wine it looks up the X resources
// each time), so it is selected only when it is not the one in the DC.
void PaintLabel(HDC dc, const RECT& rect, const LabelPaintState& state) {
  FillRect(dc, &rect, StockBrush(kLabelBackground));
  if (!state.caption || !state.caption[0]) return;

  if (GetCurrentObject(dc, OBJ_FONT) != state.font) SelectObject(dc, state.font);
  SetTextColor(dc, state.textColour);
  SetBkMode(dc, TRANSPARENT);
  RECT area = rect;
  const UINT flags = state.layout == LabelLayout::WordWrap
                         ? DT_WORDBREAK | DT_LEFT | DT_TOP | DT_NOPREFIX
                         : DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX;
  DrawTextA(dc, state.caption, -1, &area, flags);
}

// InstallButton: white text on a black face with a thin grey frame; pressed shows a white
// frame and the text one pixel down and right; disabled shows grey text.
void PaintInstallButton(const DRAWITEMSTRUCT& item, const ControlState& state) {
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;

  FillRect(dc, &rect, StockBrush(kButtonFace));
  FrameRect(dc, &rect, StockBrush(pressed ? kButtonPressedFrame : kButtonFrame));

  const int saved = SaveDC(dc);
  SelectObject(dc, GuiFont());
  SetTextColor(dc, disabled ? kButtonDisabledText : kButtonText);
  SetBkMode(dc, TRANSPARENT);
  RECT text = rect;
  if (pressed) OffsetRect(&text, 1, 1);
  DrawTextA(dc, state.caption.c_str(), -1, &text,
            DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  RestoreDC(dc, saved);

  if ((item.itemState & ODS_FOCUS) && !disabled) {
    RECT focus = rect;
    InflateRect(&focus, -3, -3);
    SetTextColor(dc, kButtonText);
    SetBkColor(dc, kButtonFace);
    DrawFocusRect(dc, &focus);
  }
}

// ---------------------------------------------------------------------------------------
// Raising events

void Raise(void (*event)()) {
  if (event && !g_window.eventsHeld) event();
}

// The mouse pointer the window shows over its client area and its controls; null: the
// class's own pointer (the arrow).
HCURSOR PointerCursor() {
  return g_window.pointer == kPointerWait ? LoadCursorA(nullptr, IDC_WAIT) : nullptr;
}

// ---------------------------------------------------------------------------------------
// The label class

int LabelIndex(HWND hwnd) { return IndexOfId(static_cast<UINT_PTR>(GetDlgCtrlID(hwnd))); }

// Draws the whole label through its own DC (the label class has CS_OWNDC).
void DrawLabel(HWND hwnd, int index) {
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  const ControlState& state = g_window.controls[index];
  RECT client;
  GetClientRect(hwnd, &client);
  const LabelPaintState paint = {state.caption.c_str(), FontInUse(state), state.textColour,
                                 kInstallerControls[index].layout};
  PaintLabel(dc, client, paint);
  ReleaseDC(hwnd, dc);
}

// A paint message (the label was shown, uncovered or exposed): a label paints all of itself
// whatever part was invalid, so it takes the whole label as painted and draws through its
// DC: BeginPaint and EndPaint would also ask Wine's server for the update region twice and
// hide and show the caret. A label has no border and no background of its own to erase.
LRESULT OnLabelPaint(HWND hwnd) {
  ValidateRect(hwnd, nullptr);
  const int index = LabelIndex(hwnd);
  if (index < 0) return 0;
  g_window.controls[index].drawPending = false;
  DrawLabel(hwnd, index);
  return 0;
}

LRESULT OnLabelLButtonUp(HWND hwnd) {
  const int index = LabelIndex(hwnd);
  if (index >= 0) Raise(kInstallerControls[index].event);
  return 0;
}

LRESULT OnLabelGetFont(HWND hwnd) {
  const int index = LabelIndex(hwnd);
  return index >= 0 ? reinterpret_cast<LRESULT>(FontInUse(g_window.controls[index])) : 0;
}

LRESULT CALLBACK LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:       return OnLabelPaint(hwnd);
    case WM_ERASEBKGND:  return 1;   // PaintLabel fills the whole label
    case WM_LBUTTONUP:   return OnLabelLButtonUp(hwnd);
    case WM_GETFONT:     return OnLabelGetFont(hwnd);
    default:             return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------------------
// The main window

LRESULT OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  const int index = IndexOfId(LOWORD(wParam));
  if (index >= 0 && HIWORD(wParam) == BN_CLICKED &&
      kInstallerControls[index].kind == ControlKind::PushButton)
    Raise(kInstallerControls[index].event);
  return DefWindowProcA(hwnd, WM_COMMAND, wParam, lParam);
}

LRESULT OnDrawItem(LPARAM lParam) {
  const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  const int index = IndexOfId(item->CtlID);
  if (index < 0 || kInstallerControls[index].kind != ControlKind::PushButton) return FALSE;
  PaintInstallButton(*item, g_window.controls[index]);
  return TRUE;
}

LRESULT OnSetCursor(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  HCURSOR cursor = PointerCursor();
  if (cursor && LOWORD(lParam) == HTCLIENT) {
    SetCursor(cursor);
    return TRUE;
  }
  return DefWindowProcA(hwnd, WM_SETCURSOR, wParam, lParam);
}

// The timers stop with the window.
LRESULT OnDestroy() {
  for (int i = 0; i < kControlCount; ++i)
    if (kInstallerControls[i].kind == ControlKind::Timer) g_window.controls[i].interval = 0;
  return 0;
}

void ReleaseWindowResources() {
  for (ControlState& state : g_window.controls) {
    state.hwnd = nullptr;
    if (state.fontHandle) DeleteObject(state.fontHandle);
    state.fontHandle = nullptr;
  }
  if (g_window.bigIcon) DestroyIcon(g_window.bigIcon);
  if (g_window.smallIcon) DestroyIcon(g_window.smallIcon);
  g_window.bigIcon = g_window.smallIcon = nullptr;
}

// The window and its controls are gone: the about-to-be-destroyed event runs, the engine's
// handles are released, and the frame hears of it last (it finds no live window and ends
// its loop).
LRESULT OnNcDestroy(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = DefWindowProcA(hwnd, WM_NCDESTROY, wParam, lParam);
  if (hwnd != g_window.hwnd) return result;
  if (g_window.createdRaised) Raise(kInstallerWindowDescription.destroying);
  g_window.hwnd = nullptr;
  ReleaseWindowResources();
  OnWindowDestroyed();
  return result;
}

LRESULT OnSetFont(WPARAM wParam) {
  g_window.font = reinterpret_cast<HFONT>(wParam);
  return 0;
}

LRESULT OnGetFont() { return reinterpret_cast<LRESULT>(g_window.font); }

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT:     return OnSetFont(wParam);
    case WM_GETFONT:     return OnGetFont();
    case WM_COMMAND:     return OnCommand(hwnd, wParam, lParam);
    case WM_DRAWITEM:    return OnDrawItem(lParam);
    case WM_SETCURSOR:   return OnSetCursor(hwnd, wParam, lParam);
    case WM_DESTROY:     return OnDestroy();
    case WM_NCDESTROY:   return OnNcDestroy(hwnd, wParam, lParam);
    default:             return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------------------
// Loading

bool RegisterClasses(HINSTANCE instance) {
  WNDCLASSEXA window = {};
  window.cbSize = sizeof window;
  window.lpfnWndProc = WindowProc;
  window.hInstance = instance;
  window.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  window.lpszClassName = kWindowClass;
  WNDCLASSEXA label = {};
  label.cbSize = sizeof label;
  label.style = CS_OWNDC;   // each label keeps its DC, and with it its selected font
  label.lpfnWndProc = LabelProc;
  label.hInstance = instance;
  label.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  label.lpszClassName = kLabelClass;
  // A second load in the same process finds the classes already there.
  WNDCLASSEXA existing;
  if (!GetClassInfoExA(instance, kWindowClass, &existing) && !RegisterClassExA(&window))
    return false;
  if (!GetClassInfoExA(instance, kLabelClass, &existing) && !RegisterClassExA(&label))
    return false;
  return true;
}

void ResetState() {
  for (int i = 0; i < kControlCount; ++i) {
    const ControlDescription& d = kInstallerControls[i];
    ControlState& state = g_window.controls[i];
    if (state.fontHandle) DeleteObject(state.fontHandle);
    state = ControlState();
    state.caption = Text(d.caption);
    state.visible = d.visible;
    state.textColour = d.textColour;
    if (d.kind == ControlKind::Label && !d.useGuiFont) {
      LOGFONTA font = {};
      font.lfHeight = -d.font.height;
      font.lfWeight = d.font.weight;
      font.lfCharSet = DEFAULT_CHARSET;
      CopyFace(font, d.font.face);
      ReplaceLabelFont(state, font);
    }
  }
  g_window.pointer = kPointerDefault;
  g_window.font = nullptr;
  g_window.createdRaised = false;
}

// The outer size asked for is the outer size the window gets.
void CorrectOuterSize(HWND hwnd, int width, int height) {
  RECT outer;
  GetWindowRect(hwnd, &outer);
  if (outer.right - outer.left != width || outer.bottom - outer.top != height)
    SetWindowPos(hwnd, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetIcons(HWND hwnd, HINSTANCE instance) {
  g_window.bigIcon = static_cast<HICON>(
      LoadImageA(instance, "DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                 GetSystemMetrics(SM_CYICON), 0));
  g_window.smallIcon = static_cast<HICON>(
      LoadImageA(instance, "DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                 GetSystemMetrics(SM_CYSMICON), 0));
  if (g_window.bigIcon)
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_window.bigIcon));
  if (g_window.smallIcon)
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_window.smallIcon));
}

HWND CreateControl(HWND parent, HINSTANCE instance, int index) {
  const ControlDescription& d = kInstallerControls[index];
  const char* windowClass = kLabelClass;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  if (d.kind == ControlKind::PushButton) {
    windowClass = "BUTTON";
    style |= BS_OWNERDRAW | WS_TABSTOP;
  }
  HWND hwnd = CreateWindowExA(0, windowClass, d.caption ? d.caption : "", style, d.left, d.top,
                              d.width, d.height, parent,
                              reinterpret_cast<HMENU>(IdOf(index)), instance, nullptr);
  if (hwnd && d.kind == ControlKind::PushButton)
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  return hwnd;
}

// Row 1 on top, each later row directly below the one before, whatever order the system
// linked the new children in.
void StackControls() {
  HWND above = HWND_TOP;
  for (ControlState& state : g_window.controls) {
    if (!state.hwnd) continue;
    SetWindowPos(state.hwnd, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = state.hwnd;
  }
}

bool CreateControls(HWND parent, HINSTANCE instance) {
  for (int i = 0; i < kControlCount; ++i) {
    if (kInstallerControls[i].kind == ControlKind::Timer) continue;
    g_window.controls[i].hwnd = CreateControl(parent, instance, i);
    if (!g_window.controls[i].hwnd) return false;
  }
  StackControls();
  for (const ControlState& state : g_window.controls)
    if (state.hwnd && state.visible) ShowWindow(state.hwnd, SW_SHOWNA);
  return true;
}

// A control's look changed. A label is drawn by EngineDrawPending, which runs where the
// thread next looks for messages; the button is invalidated and repaints at its next paint
// message.
void Redraw(Control control) {
  ControlState& state = StateOf(control);
  if (!state.hwnd) return;
  if (DescriptionOf(control).kind == ControlKind::Label) {
    state.drawPending = true;
    return;
  }
  InvalidateRect(state.hwnd, nullptr, FALSE);
}

// Refuses a property access to a window the program does not have, or to one that is gone.
void RequireWindow(WindowId window) {
  if (window != WindowId::InstallerWindow || !g_window.loaded)
    FatalError("未载入欲访问窗口组件所在的窗口", 0);
  if (!WindowOpen()) FatalError("指定窗口尚未载入", 0);
}

// A hidden or disabled control cannot keep the keyboard focus; the window takes it, so that
// Esc still reaches the engine as an ordinary key press.
void MoveFocusOff(HWND control) {
  if (control && GetFocus() == control && WindowOpen()) SetFocus(g_window.hwnd);
}

}  // namespace

// -----------------------------------------------------------------------------------------
// Towards the frame

bool LoadInstallerWindow() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (WindowOpen() || !RegisterClasses(instance)) return false;
  ResetState();

  const WindowDescription& w = kInstallerWindowDescription;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - w.outerWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - w.outerHeight) / 2;
  HWND hwnd = CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, w.title,
                              WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, left,
                              top, w.outerWidth, w.outerHeight, nullptr, nullptr, instance,
                              nullptr);
  if (!hwnd) return false;
  g_window.hwnd = hwnd;
  g_window.loaded = true;
  CorrectOuterSize(hwnd, w.outerWidth, w.outerHeight);
  SetIcons(hwnd, instance);
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  if (!CreateControls(hwnd, instance)) {
    DestroyWindow(hwnd);
    return false;
  }

  g_window.createdRaised = true;
  Raise(w.created);
  if (WindowOpen()) ShowWindow(g_window.hwnd, SW_SHOWNORMAL);
  return true;
}

bool EnginePreTranslate(MSG* msg) {
  if (!WindowOpen() || !msg) return false;
  // Plain Esc only: with Alt held it arrives as WM_SYSKEYDOWN, the system's window-switching
  // key, which must not close the window.
  if (msg->message != WM_KEYDOWN) return false;
  if (msg->wParam != VK_ESCAPE) return false;
  if (msg->hwnd != g_window.hwnd && !IsChild(g_window.hwnd, msg->hwnd)) return false;
  SendMessageA(g_window.hwnd, WM_CLOSE, 0, 0);
  return true;
}

// A label draws its new look itself, through its own DC, where an invalidation would cost
// an invalidation, a paint message, a validation and the system's look at the update region
// after the paint: four calls to Wine's server, at each of the spinner's 33 glyphs a second
// and each step of the installation's counts. A text written twice before this runs is
// drawn once, with its second value. A label that is hidden or covered draws nothing here,
// and shows its caption when it is next painted.
void EngineDrawPending() {
  for (int i = 0; i < kControlCount; ++i) {
    ControlState& state = g_window.controls[i];
    if (!state.drawPending) continue;
    state.drawPending = false;
    if (state.hwnd && WindowOpen()) DrawLabel(state.hwnd, i);
  }
}

bool EngineIdle() { return false; }

// The timers are the engine's own rather than the system's (SetTimer): a system timer's tick
// is a message, and under Wine taking it costs the thread two more calls to the server (the
// look that takes it, and setting the queue's wake mask again after the wait it ended),
// which at the spinner's 33 ticks a second was half of what the spinner cost. The waits of
// Delay and of the message loop end when the next tick is due instead.
static bool TimerRunning(int index) {
  return kInstallerControls[index].kind == ControlKind::Timer &&
         g_window.controls[index].interval > 0;
}

bool EngineRunDueTicks() {
  const DWORD now = GetTickCount();
  bool ran = false;
  // Each timer that is due ticks once, the one due first first. Like a system timer, one that
  // is late (the thread was busy writing a file) ticks once, not once per missed interval, and
  // keeps its rhythm: its next tick is due at the first step of its interval after now.
  for (;;) {
    int next = -1;
    for (int i = 0; i < kControlCount; ++i) {
      if (!TimerRunning(i)) continue;
      const DWORD due = g_window.controls[i].due;
      if (static_cast<int32_t>(due - now) > 0) continue;
      if (next < 0 || static_cast<int32_t>(due - g_window.controls[next].due) < 0) next = i;
    }
    if (next < 0) return ran;
    ControlState& timer = g_window.controls[next];
    const DWORD interval = static_cast<DWORD>(timer.interval);
    timer.due += ((now - timer.due) / interval + 1) * interval;
    ran = true;
    Raise(kInstallerControls[next].event);
  }
}

DWORD EngineNextTickIn() {
  const DWORD now = GetTickCount();
  DWORD wait = INFINITE;
  for (int i = 0; i < kControlCount; ++i) {
    if (!TimerRunning(i)) continue;
    const int32_t left = static_cast<int32_t>(g_window.controls[i].due - now);
    if (left <= 0) return 0;
    if (static_cast<DWORD>(left) < wait) wait = static_cast<DWORD>(left);
  }
  return wait;
}

int WindowCount() { return 1; }

HWND WindowHandle(int index) { return index == 0 ? g_window.hwnd : nullptr; }

void EngineForget() {}

void EngineHoldEvents() { g_window.eventsHeld = true; }

// -----------------------------------------------------------------------------------------
// Properties

void SetCaptionOf(WindowId window, Control control, const char* caption) {
  RequireWindow(window);
  ControlState& state = StateOf(control);
  // The text it already has: nothing to store, nothing to draw again.
  if (SameBytes(state.caption, caption)) return;
  state.caption = Text(caption);
  if (!state.hwnd) return;
  SetWindowTextA(state.hwnd, state.caption.c_str());
  Redraw(control);
}

Text GetCaptionOf(WindowId window, Control control) {
  RequireWindow(window);
  return StateOf(control).caption.Copy();
}

void SetVisible(Control control, bool visible) {
  ControlState& state = StateOf(control);
  state.visible = visible;
  if (!WindowOpen() || !state.hwnd) return;
  if (!visible) MoveFocusOff(state.hwnd);
  ShowWindow(state.hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

void SetDisabled(Control control, bool disabled) {
  ControlState& state = StateOf(control);
  state.disabled = disabled;
  if (!WindowOpen() || !state.hwnd) return;
  if (disabled) MoveFocusOff(state.hwnd);
  EnableWindow(state.hwnd, disabled ? FALSE : TRUE);
}

void SetInterval(Control timer, int32_t milliseconds) {
  RequireWindow(WindowId::InstallerWindow);
  const int32_t v = milliseconds < 0 ? 0 : milliseconds;
  ControlState& state = StateOf(timer);
  if (v == state.interval) return;
  state.interval = v;
  state.due = GetTickCount() + static_cast<DWORD>(v);
}

void SetTextColour(Control label, uint32_t colour) {
  RequireWindow(WindowId::InstallerWindow);
  ControlState& state = StateOf(label);
  if (state.textColour == static_cast<COLORREF>(colour)) return;
  state.textColour = static_cast<COLORREF>(colour);
  Redraw(label);
}

void SetFontFace(Control label, const char* face) {
  RequireWindow(WindowId::InstallerWindow);
  ControlState& state = StateOf(label);
  LOGFONTA font = {};
  if (state.hasFont) {
    font = state.font;
  } else {
    GetObjectA(GuiFont(), sizeof font, &font);
  }
  const int length = lstrlenA(face ? face : "");
  CopyFace(font, (length == 0 || length >= kFaceBytes) ? kFallbackFace : face);
  ReplaceLabelFont(state, font);
  Redraw(label);
}

// The new pointer shows at once when the mouse is over the window: the window is asked to
// set its pointer as if the mouse had just moved.
void SetMousePointer(int kind) {
  g_window.pointer = kind;
  if (!WindowOpen()) return;
  POINT at;
  if (!GetCursorPos(&at)) return;
  HWND under = WindowFromPoint(at);
  if (under != g_window.hwnd && !IsChild(g_window.hwnd, under)) return;
  const LRESULT hit = SendMessageA(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
  SendMessageA(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
               MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

HWND ControlHandle(Control control) { return WindowOpen() ? StateOf(control).hwnd : nullptr; }
