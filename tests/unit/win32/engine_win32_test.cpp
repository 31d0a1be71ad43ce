// The window engine on the real platform: InstallerWindow is loaded for each test (its
// created event runs the real host check, so the run directory is a folder with CoolQ.exe),
// then measured, driven through the property functions and looked at pixel by pixel.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "services/frame_state.h"
#include "services/platform.h"
#include "services/text_ops.h"
#include "tests/unit/win32/box_capture.h"
#include "window/engine_win32.h"
#include "window/spinner.h"
#include "window/window_description.h"

namespace {

// The host check looks for CoolQ.exe in the run directory: point it at a folder of our own
// that holds one, and give the old run directory back afterwards.
class HostFolder {
 public:
  HostFolder() : saved_(Frame().runDirectory.Copy()) {
    char temp[MAX_PATH];
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp, n < MAX_PATH ? n : 0) + "tovara-engine-test";
    CreateDirectoryA(folder_.c_str(), nullptr);
    host_ = folder_ + "\\CoolQ.exe";
    HANDLE f = CreateFileA(host_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    Frame().runDirectory = Text(folder_.c_str());
  }
  ~HostFolder() {
    DeleteFileA(host_.c_str());
    RemoveDirectoryA(folder_.c_str());
    Frame().runDirectory = std::move(saved_);
  }
  HostFolder(const HostFolder&) = delete;
  HostFolder& operator=(const HostFolder&) = delete;

 private:
  Text saved_;
  std::string folder_;
  std::string host_;
};

// Dispatches messages as the program's loop does for about ms milliseconds.
void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    ProcessEvents();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

std::string WindowText(HWND hwnd) {
  char buffer[512] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

std::string Str(const Text& text) { return std::string(text.c_str(), text.Length()); }

RECT RectInParent(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

LOGFONTA FontOf(Control label) {
  LOGFONTA font = {};
  HFONT handle = reinterpret_cast<HFONT>(SendMessageA(ControlHandle(label), WM_GETFONT, 0, 0));
  EXPECT_NE(handle, nullptr);
  if (handle) GetObjectA(handle, sizeof font, &font);
  return font;
}

// A pixel of a colour the window never paints, put into a label's top left corner through
// its DC: any drawing of the label covers it.
const COLORREF kMark = RGB(0x12, 0x34, 0x56);

void MarkCorner(Control label) {
  HDC dc = GetDC(ControlHandle(label));
  SetPixel(dc, 0, 0, kMark);
  ReleaseDC(ControlHandle(label), dc);
}

bool CornerMarked(Control label) {
  HDC dc = GetDC(ControlHandle(label));
  const COLORREF c = GetPixel(dc, 0, 0);
  ReleaseDC(ControlHandle(label), dc);
  return (c & 0xFFFFFF) == kMark;
}

// True when the label draws itself at the next dispatch of messages (ProcessEvents), that is
// when a change since it was last drawn is still to show.
bool DrawnAtNextDispatch(Control label) {
  MarkCorner(label);
  EXPECT_TRUE(CornerMarked(label));
  ProcessEvents();
  return !CornerMarked(label);
}

// Counts the pixels of a rectangle of the main window's client area (as painted) for which
// `match` holds.
template <typename Match>
int CountPixels(int left, int top, int right, int bottom, Match match) {
  HWND hwnd = WindowHandle(0);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  HDC dc = GetDC(hwnd);
  int count = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x)
      if (match(GetPixel(dc, x, y))) ++count;
  ReleaseDC(hwnd, dc);
  return count;
}

bool NotBlack(COLORREF c) { return c != CLR_INVALID && (c & 0xFFFFFF) != 0; }
bool Reddish(COLORREF c) { return GetRValue(c) > 128 && GetGValue(c) < 64 && GetBValue(c) < 64; }
// The counter's green 0x00E080 (red 128, green 224), also where smoothing blends it with black.
bool Greenish(COLORREF c) {
  return c != CLR_INVALID && GetGValue(c) > 96 && GetGValue(c) > GetRValue(c) + 40 &&
         GetBValue(c) < 40;
}

class EngineWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(GetFileAttributesA((std::string(RunDirectory().c_str()) + "\\CoolQ.exe").c_str()),
              INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(LoadInstallerWindow());
    hwnd_ = WindowHandle(0);
    ASSERT_NE(hwnd_, nullptr);
    Pump(50);
  }
  void TearDown() override {
    if (WindowHandle(0)) DestroyWindow(WindowHandle(0));
    Pump(20);
  }
  HostFolder host_;
  HWND hwnd_ = nullptr;
};

// ---------------------------------------------------------------------------------------
// The window and its controls as built

TEST_F(EngineWindowTest, WindowHasItsOuterSizeCentredAndAFixedFrame) {
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  EXPECT_EQ(outer.right - outer.left, 281);
  EXPECT_EQ(outer.bottom - outer.top, 252);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 281) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 252) / 2);

  EXPECT_EQ(WindowText(hwnd_), "Tovara插件安装程序");
  const LONG style = GetWindowLongA(hwnd_, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_VISIBLE);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD | WS_POPUP));
  EXPECT_FALSE(GetWindowLongA(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetWindow(hwnd_, GW_OWNER), nullptr);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0)),
            GetStockObject(DEFAULT_GUI_FONT));
}

TEST_F(EngineWindowTest, ControlsSitWhereDescribedAndCarryTheirCaptionsAsWindowText) {
  for (int i = 0; i < kControlCount; ++i) {
    const ControlDescription& d = kInstallerControls[i];
    SCOPED_TRACE(d.name);
    HWND child = ControlHandle(d.control);
    if (d.kind == ControlKind::Timer) {
      EXPECT_EQ(child, nullptr);
      continue;
    }
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), hwnd_);
    const RECT r = RectInParent(child);
    EXPECT_EQ(r.left, d.left);
    EXPECT_EQ(r.top, d.top);
    EXPECT_EQ(r.right - r.left, d.width);
    EXPECT_EQ(r.bottom - r.top, d.height);
    EXPECT_EQ(WindowText(child), d.caption ? d.caption : "");
    EXPECT_EQ(IsWindowVisible(child) != FALSE, d.visible);
  }
  HWND button = ControlHandle(Control::InstallButton);
  EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_TRUE(GetWindowLongA(button, GWL_STYLE) & WS_TABSTOP);
  EXPECT_TRUE(IsWindowEnabled(button));
  const std::string info = WindowText(ControlHandle(Control::PluginInfoLabel));
  EXPECT_NE(info.find("\r\n"), std::string::npos);
  EXPECT_EQ(info.substr(info.size() - std::strlen(kPluginWebAddress)), kPluginWebAddress);
}

TEST_F(EngineWindowTest, EarlierRowsLieAboveLaterOnes) {
  std::string order;
  for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    for (int i = 0; i < kControlCount; ++i)
      if (ControlHandle(kInstallerControls[i].control) == c) order += static_cast<char>('a' + i);
  std::string rows;
  for (int i = 0; i < kControlCount; ++i)
    if (kInstallerControls[i].kind != ControlKind::Timer) rows += static_cast<char>('a' + i);
  EXPECT_EQ(order, rows);

  // ElapsedUnit (x 120..199) covers the right end of ElapsedValue (x 90..129): a wide green
  // value shows left of x 120 and nowhere under the unit. The hint, above both, goes first.
  SetVisible(Control::StartHintLabel, false);
  SetCaption(Control::ElapsedUnit, "");
  SetCaption(Control::ElapsedValue, "888888888888");
  EXPECT_GT(CountPixels(90, 124, 120, 148, Greenish), 0);
  EXPECT_EQ(CountPixels(120, 124, 130, 148, NotBlack), 0);
}

// ---------------------------------------------------------------------------------------
// Captions

TEST_F(EngineWindowTest, CaptionIsStoredCopiedAndShownAtTheNextPaint) {
  EXPECT_TRUE(GetCaption(Control::StatusLabel).Empty());

  MarkCorner(Control::StatusLabel);
  SetStatus("甲&乙");
  EXPECT_EQ(WindowText(ControlHandle(Control::StatusLabel)), "甲&乙");
  EXPECT_TRUE(CornerMarked(Control::StatusLabel));   // not drawn at once
  Text first = GetCaption(Control::StatusLabel);
  EXPECT_EQ(Str(first), "甲&乙");
  ProcessEvents();
  EXPECT_FALSE(CornerMarked(Control::StatusLabel));   // drawn when messages are dispatched
  EXPECT_FALSE(DrawnAtNextDispatch(Control::StatusLabel));

  SetCaption(Control::StatusLabel, "第二");
  EXPECT_EQ(Str(first), "甲&乙");   // an earlier read is the caller's own copy
  EXPECT_EQ(Str(GetCaption(Control::StatusLabel)), "第二");

  SetCaption(Control::StatusLabel, nullptr);
  EXPECT_TRUE(GetCaption(Control::StatusLabel).Empty());
  EXPECT_EQ(WindowText(ControlHandle(Control::StatusLabel)), "");
}

// A write of the text or colour a label already has draws nothing again; any other text
// does, also the next spinner glyph (private-use characters, which a comparison by the
// locale's sort order may take for equal).
TEST_F(EngineWindowTest, RewritingTheSameCaptionOrColourDrawsNothingAgain) {
  SetStatus("检查是否有旧版本中....");
  Pump(30);
  ASSERT_FALSE(DrawnAtNextDispatch(Control::StatusLabel));
  SetStatus("检查是否有旧版本中....");
  EXPECT_FALSE(DrawnAtNextDispatch(Control::StatusLabel));
  SetStatus("检查是否有旧版本中...");
  EXPECT_TRUE(DrawnAtNextDispatch(Control::StatusLabel));

  SetVisible(Control::StartHintLabel, false);   // it lies over the counter
  Pump(30);
  SetTextColour(Control::ElapsedValue, DescriptionOf(Control::ElapsedValue).textColour);
  EXPECT_FALSE(DrawnAtNextDispatch(Control::ElapsedValue));

  Text glyph = GlyphText(0xE052);
  Text next = GlyphText(0xE053);
  ASSERT_FALSE(glyph.Empty());
  SetCaption(Control::SpinnerLabel, glyph.c_str());
  Pump(30);
  SetCaption(Control::SpinnerLabel, next.c_str());
  EXPECT_TRUE(DrawnAtNextDispatch(Control::SpinnerLabel));
  EXPECT_EQ(WindowText(ControlHandle(Control::SpinnerLabel)), next.c_str());
}

// A timer's tick inside a Delay shows what it changed before the Delay waits on; a message
// box first shows what changed before it.
TEST_F(EngineWindowTest, ATickAndAMessageBoxShowWhatChangedBeforeThem) {
  MarkCorner(Control::SpinnerLabel);
  SpinnerGlyphCode = kFirstGlyphCode;
  SetInterval(Control::SpinTimer, 30);
  Delay(45);
  SetInterval(Control::SpinTimer, 0);
  ASSERT_EQ(SpinnerGlyphCode, kFirstGlyphCode + 1);
  EXPECT_EQ(WindowText(ControlHandle(Control::SpinnerLabel)), Str(GlyphText(kFirstGlyphCode)));
  EXPECT_FALSE(CornerMarked(Control::SpinnerLabel));

  MarkCorner(Control::StatusLabel);
  SetStatus("正在初始化插件安装....");
  {
    BoxCapture capture;
    ShowMessageBox("?", 16);
  }
  EXPECT_FALSE(CornerMarked(Control::StatusLabel));
}

TEST_F(EngineWindowTest, WordWrappedLabelBreaksLongTextAndOneLineLabelDoesNot) {
  // StatusLabel (224 px wide, from y 29) wraps a long message without spaces onto a second
  // line (label y 20..40); the hint label above it is hidden first.
  SetVisible(Control::StartHintLabel, false);
  SetCaption(Control::StatusLabel, "正在写入插件文件请稍候正在写入插件文件请稍候正在写入");
  EXPECT_GT(CountPixels(48, 29, 272, 45, NotBlack), 0);
  EXPECT_GT(CountPixels(48, 49, 272, 69, NotBlack), 0);

  // A one-line label keeps a long caption on its one line, centred in its 24 px height.
  SetCaption(Control::ElapsedCaption, "已用时间已用时间已用时间已用时间");
  EXPECT_GT(CountPixels(24, 130, 104, 142, NotBlack), 0);
  EXPECT_EQ(CountPixels(24, 124, 104, 127, NotBlack), 0);
}

// ---------------------------------------------------------------------------------------
// Colour and font

TEST_F(EngineWindowTest, TextColourWriteRepaintsInTheNewColour) {
  SetVisible(Control::StartHintLabel, false);
  SetCaption(Control::ElapsedValue, "88");
  Pump(30);
  EXPECT_GT(CountPixels(90, 124, 120, 148, Greenish), 0);
  EXPECT_EQ(CountPixels(90, 124, 120, 148, Reddish), 0);
  SetTextColour(Control::ElapsedValue, 0x0000FF);
  EXPECT_TRUE(DrawnAtNextDispatch(Control::ElapsedValue));
  EXPECT_GT(CountPixels(90, 124, 120, 148, Reddish), 0);
  EXPECT_EQ(CountPixels(90, 124, 120, 148, Greenish), 0);
}

TEST_F(EngineWindowTest, LabelFontIsMadeFromTheDescription) {
  const LOGFONTA status = FontOf(Control::StatusLabel);
  EXPECT_EQ(status.lfHeight, -15);   // character height: no internal leading
  EXPECT_EQ(status.lfWeight, 400);
  EXPECT_STREQ(status.lfFaceName, "微软雅黑");
  EXPECT_EQ(status.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(status.lfQuality, PROOF_QUALITY);
  EXPECT_FALSE(status.lfItalic || status.lfUnderline || status.lfStrikeOut);

  const LOGFONTA value = FontOf(Control::ElapsedValue);
  EXPECT_EQ(value.lfHeight, -12);
  EXPECT_EQ(value.lfWeight, 700);
  EXPECT_STREQ(value.lfFaceName, "");
  EXPECT_EQ(FontOf(Control::ElapsedUnit).lfHeight, [] {
    LOGFONTA gui = {};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
    return gui.lfHeight;
  }());
}

TEST_F(EngineWindowTest, FontFaceWriteChangesOnlyTheFaceAndFallsBackForUnusableNames) {
  const std::string longest(31, 'A');
  SetFontFace(Control::StatusLabel, longest.c_str());
  LOGFONTA font = FontOf(Control::StatusLabel);
  EXPECT_EQ(std::string(font.lfFaceName), longest);
  EXPECT_EQ(font.lfHeight, -15);
  EXPECT_EQ(font.lfWeight, 400);
  EXPECT_EQ(font.lfQuality, PROOF_QUALITY);
  EXPECT_TRUE(DrawnAtNextDispatch(Control::StatusLabel));

  SetFontFace(Control::StatusLabel, std::string(32, 'A').c_str());
  EXPECT_STREQ(FontOf(Control::StatusLabel).lfFaceName, "宋体");
  SetFontFace(Control::StatusLabel, "Setup");
  SetFontFace(Control::StatusLabel, "");
  EXPECT_STREQ(FontOf(Control::StatusLabel).lfFaceName, "宋体");
  SetFontFace(Control::StatusLabel, nullptr);
  EXPECT_STREQ(FontOf(Control::StatusLabel).lfFaceName, "宋体");
  EXPECT_EQ(FontOf(Control::StatusLabel).lfHeight, -15);

  // A label drawn in the GUI font starts from the GUI font.
  LOGFONTA gui = {};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
  SetFontFace(Control::ElapsedCaption, "Tahoma");
  font = FontOf(Control::ElapsedCaption);
  EXPECT_STREQ(font.lfFaceName, "Tahoma");
  EXPECT_EQ(font.lfHeight, gui.lfHeight);
  EXPECT_EQ(font.lfWeight, gui.lfWeight);
  EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
}

// ---------------------------------------------------------------------------------------
// Timers: only SpinTimer runs; its ticks are counted by the glyph code its handler moves on
// (no cycle of 121 glyphs ends within these counts).

struct TickCount {
  int ticks = 0;
  DWORD slowestRewrite = 0;   // the longest pause between two rewrites, ms
};

template <typename Rewrite>
TickCount CountTicks(DWORD ms, Rewrite rewrite) {
  TickCount result;
  SpinnerGlyphCode = kFirstGlyphCode;
  const DWORD start = GetTickCount();
  DWORD last = start;
  for (DWORD now = start; now - start < ms; now = GetTickCount()) {
    if (now - last > result.slowestRewrite) result.slowestRewrite = now - last;
    last = now;
    rewrite();
    ProcessEvents();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 3, QS_ALLINPUT);
  }
  result.ticks = SpinnerGlyphCode - kFirstGlyphCode;
  return result;
}

TEST_F(EngineWindowTest, RewritingTheRunningIntervalDoesNotRestartTheTimer) {
  SetInterval(Control::SpinTimer, 30);
  const TickCount n = CountTicks(400, [] { SetInterval(Control::SpinTimer, 30); });
  SetInterval(Control::SpinTimer, 0);
  EXPECT_GE(n.ticks, 5);   // about 13 when never restarted, 0 when restarted on each write
}

TEST_F(EngineWindowTest, StoppingAndStartingAgainRestartsTheTimer) {
  SetInterval(Control::SpinTimer, 30);
  const TickCount n = CountTicks(400, [] {
    SetInterval(Control::SpinTimer, 0);
    SetInterval(Control::SpinTimer, 30);
  });
  SetInterval(Control::SpinTimer, 0);
  if (n.slowestRewrite >= 25) GTEST_SKIP() << "rewrites " << n.slowestRewrite << " ms apart";
  EXPECT_EQ(n.ticks, 0);
}

// A timer that could not tick for a while (the thread was writing a file) ticks once, not
// once per interval missed, and its next tick stays on its rhythm.
TEST_F(EngineWindowTest, ALateTimerTicksOnceAndKeepsItsRhythm) {
  SpinnerGlyphCode = kFirstGlyphCode;
  const DWORD started = GetTickCount();
  SetInterval(Control::SpinTimer, 30);
  const bool startRead = GetTickCount() == started;
  Sleep(100);
  ProcessEvents();
  const DWORD now = GetTickCount();
  const DWORD next = EngineNextTickIn();
  const bool nowRead = GetTickCount() == now;
  SetInterval(Control::SpinTimer, 0);
  EXPECT_EQ(SpinnerGlyphCode, kFirstGlyphCode + 1);
  if (!startRead || !nowRead) GTEST_SKIP() << "the tick counter moved while it was read";
  EXPECT_GT(next, 0u);
  EXPECT_EQ((now + next - started) % 30, 0u) << "next tick in " << next << " ms";
}

TEST_F(EngineWindowTest, NegativeIntervalStopsLikeZero) {
  SetInterval(Control::SpinTimer, 30);
  SetInterval(Control::SpinTimer, -5);
  EXPECT_EQ(CountTicks(200, [] {}).ticks, 0);
  SetInterval(Control::SpinTimer, 0);   // 0 equals the stored value: still stopped
  EXPECT_EQ(CountTicks(100, [] {}).ticks, 0);
  SetInterval(Control::SpinTimer, 30);
  EXPECT_GE(CountTicks(200, [] {}).ticks, 3);
  SetInterval(Control::SpinTimer, 0);
}

// ---------------------------------------------------------------------------------------
// Keyboard, pointer and closing

TEST_F(EngineWindowTest, EscapeOnAControlClosesTheWindow) {
  HWND button = ControlHandle(Control::InstallButton);
  SetFocus(button);
  ASSERT_EQ(GetFocus(), button);
  MSG other = {button, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
  EXPECT_FALSE(EnginePreTranslate(&other));
  PostMessageA(button, WM_KEYDOWN, VK_ESCAPE, 0);
  Pump(50);
  EXPECT_EQ(WindowHandle(0), nullptr);
  EXPECT_FALSE(IsWindow(hwnd_));
  EXPECT_FALSE(IsWindow(button));
}

TEST_F(EngineWindowTest, AltEscIsPassedOnAndDoesNotClose) {
  HWND button = ControlHandle(Control::InstallButton);
  SetFocus(button);
  // Alt+Esc: WM_SYSKEYDOWN with the context bit (Alt held) set.
  MSG altEsc = {button, WM_SYSKEYDOWN, VK_ESCAPE, 1 | (1 << 29), 0, {0, 0}};
  EXPECT_FALSE(EnginePreTranslate(&altEsc));
  PostMessageA(button, WM_SYSKEYDOWN, VK_ESCAPE, 1 | (1 << 29));
  PostMessageA(button, WM_SYSKEYUP, VK_ESCAPE, 1 | (1 << 29) | (3u << 30));
  Pump(50);
  EXPECT_EQ(WindowHandle(0), hwnd_);
  EXPECT_TRUE(IsWindow(hwnd_));
}

TEST_F(EngineWindowTest, EscapeStillClosesOnceTheFocusedButtonIsDisabled) {
  HWND button = ControlHandle(Control::InstallButton);
  SetFocus(button);
  SetDisabled(Control::InstallButton, true);
  EXPECT_FALSE(IsWindowEnabled(button));
  HWND focus = GetFocus();
  EXPECT_TRUE(focus == hwnd_ || IsChild(hwnd_, focus));
  PostMessageA(focus ? focus : hwnd_, WM_KEYDOWN, VK_ESCAPE, 0);
  Pump(50);
  EXPECT_EQ(WindowHandle(0), nullptr);
}

TEST_F(EngineWindowTest, EscapeForAnotherWindowIsPassedOn) {
  HWND stranger = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
  MSG msg = {stranger, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
  EXPECT_FALSE(EnginePreTranslate(&msg));
  DestroyWindow(stranger);
  EXPECT_NE(WindowHandle(0), nullptr);
}

TEST_F(EngineWindowTest, AfterCloseVisibleDisabledAndPointerWritesAreOnlyRecorded) {
  SendMessageA(hwnd_, WM_CLOSE, 0, 0);
  ASSERT_EQ(WindowHandle(0), nullptr);
  for (int i = 0; i < kControlCount; ++i)
    EXPECT_EQ(ControlHandle(kInstallerControls[i].control), nullptr);
  SetVisible(Control::StartHintLabel, false);
  SetDisabled(Control::InstallButton, true);
  SetMousePointer(kPointerWait);
  SetMousePointer(kPointerDefault);
}

TEST_F(EngineWindowTest, PointerChangeShowsAtOnceOverTheWindowOnly) {
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  SetForegroundWindow(hwnd_);
  SetCursorPos((outer.left + outer.right) / 2, outer.top + 60);   // over StatusLabel
  Pump(50);
  SetMousePointer(kPointerWait);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT));
  SetMousePointer(kPointerDefault);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));

  SetCursorPos(outer.left + 4, outer.top + 40);   // the bare client area
  Pump(50);
  SetMousePointer(kPointerWait);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT));
  SetMousePointer(kPointerDefault);

  SetCursorPos(outer.right + 20, outer.bottom + 20);   // outside
  Pump(50);
  HCURSOR before = GetCursor();
  SetMousePointer(kPointerWait);
  EXPECT_EQ(GetCursor(), before);
  SetMousePointer(kPointerDefault);
}

// ---------------------------------------------------------------------------------------
// Accesses to a window that is gone, or that the program does not have, end the program
// with the fatal error box and exit code -1.

using EngineWindowDeathTest = EngineWindowTest;

std::string FatalBox(const char* message) {
  const std::string report = std::string("运行时出错!\r\n\r\n错误信息：") + message + "\r\n";
  return "BOX\\[" + BoxCapture::Hex("错误") + "\\|" + BoxCapture::Hex(report) + "\\]";
}

template <typename Access>
void AfterClose(Access access) {
  BoxCapture capture;
  SendMessageA(WindowHandle(0), WM_CLOSE, 0, 0);
  if (WindowHandle(0)) std::fprintf(stderr, "window still open\n");
  access();
  std::fprintf(stderr, "access returned\n");
  std::fflush(stderr);
  ExitProcess(7);
}

TEST_F(EngineWindowDeathTest, ControlPropertyAccessAfterCloseIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string box = FatalBox("指定窗口尚未载入");
  EXPECT_EXIT(AfterClose([] { SetStatus("下一步"); }), ::testing::ExitedWithCode(-1), box);
  EXPECT_EXIT(AfterClose([] { GetCaption(Control::ElapsedValue); }),
              ::testing::ExitedWithCode(-1), box);
  EXPECT_EXIT(AfterClose([] { SetInterval(Control::SpinTimer, 0); }),
              ::testing::ExitedWithCode(-1), box);
  EXPECT_EXIT(AfterClose([] { SetTextColour(Control::ElapsedValue, kCounterRed); }),
              ::testing::ExitedWithCode(-1), box);
  EXPECT_EXIT(AfterClose([] { SetFontFace(Control::SpinnerLabel, "Setup"); }),
              ::testing::ExitedWithCode(-1), box);
}

TEST_F(EngineWindowDeathTest, AccessToAWindowTheProgramDoesNotHaveIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        BoxCapture capture;
        SetCaptionOf(static_cast<WindowId>(1), Control::StatusLabel, "x");
        ExitProcess(7);
      },
      ::testing::ExitedWithCode(-1), FatalBox("未载入欲访问窗口组件所在的窗口"));
}

}  // namespace
