// The simulated window engine: the same property rules as the real one, applied to plain
// records, with every write and repaint recorded on the virtual timeline.
#include <string>

#include "services/fatal.h"
#include "services/frame_state.h"
#include "sim/sim_internal.h"
#include "window/events.h"
#include "window/window_description.h"

namespace sim {

static ControlState& C(Control c) { return S().controls[static_cast<int>(c)]; }
static std::string NameOf(Control c) { return DescriptionOf(c).name; }

void ResetWindow() {
  for (int i = 0; i < kControlCount; ++i) {
    const ControlDescription& d = kInstallerControls[i];
    ControlState& c = S().controls[i];
    c = ControlState();
    c.caption = d.caption ? d.caption : "";
    c.colour = d.textColour;
    c.face = d.font.face ? d.font.face : "";
    c.fontHeight = d.font.height;
    c.fontWeight = d.font.weight;
  }
}

bool LoadInstallerWindow() {
  S().windowLoaded = true;
  S().windowOpen = true;
  for (int i = 0; i < kControlCount; ++i) {
    S().controls[i].visible = kInstallerControls[i].visible;
    S().controls[i].captionDirty = kInstallerControls[i].kind == ControlKind::Label;
  }
  const int code = Run([] { kInstallerWindowDescription.created(); });
  if (code != kDidNotEnd) return false;
  if (S().windowOpen) {
    S().windowShown = true;
    Note("InstallerWindow", "shown", "1");
    Frame().loopStarted = true;
    DispatchDue();   // the first paint
  }
  return true;
}

bool WindowOpen() { return S().windowOpen; }
bool WindowShown() { return S().windowShown; }

static void DestroyWindow() {
  S().windowOpen = false;
  S().closeAt = -1;
  for (auto& c : S().controls) c.interval = 0;   // the timers die with the window
  Note("InstallerWindow", "closed", "1");
  kInstallerWindowDescription.destroying();
  if (Frame().loopStarted) S().quitWaiting = true;
}

int ClickInstallButton() {
  if (!S().windowOpen || C(Control::InstallButton).disabled || !C(Control::InstallButton).visible)
    return kDidNotEnd;
  return Run([] { DescriptionOf(Control::InstallButton).event(); });
}

void CloseWindowAt(int64_t at) { S().closeAt = at; }

void CloseWindowNow() {
  if (S().windowOpen) DestroyWindow();
}

void RunMessageLoopFor(int64_t ms) {
  const int64_t end = S().now + ms;
  Run([end] {
    while (true) {
      DispatchDue();
      if (S().quitWaiting) return;
      int64_t next = NextDueTime();
      if (next < 0 || next > end) break;
      if (next > S().now) S().now = next;
    }
    S().now = end;
    DispatchDue();
  });
}

int64_t NextDueTime() {
  int64_t next = -1;
  if (!S().windowOpen) return -1;
  for (int i = 0; i < kControlCount; ++i) {
    const ControlState& c = S().controls[i];
    if (kInstallerControls[i].kind == ControlKind::Timer && c.interval > 0)
      if (next < 0 || c.nextDue < next) next = c.nextDue;
  }
  if (S().closeAt >= 0 && (next < 0 || S().closeAt < next)) next = S().closeAt;
  return next;
}

static void Repaint() {
  for (int i = 0; i < kControlCount; ++i) {
    ControlState& c = S().controls[i];
    if (c.captionDirty && c.visible) {
      c.captionDirty = false;
      c.shownCaption = c.caption;
      Note(kInstallerControls[i].name, "shown", c.caption);
    }
  }
}

bool DispatchDue() {
  if (S().quitWaiting || !S().windowOpen) return false;
  bool delivered = false;
  if (S().closeAt >= 0 && S().closeAt <= S().now) {
    DestroyWindow();
    return false;
  }
  // Due ticks, earliest first; one waiting tick per timer at most.
  while (S().windowOpen) {
    int due = -1;
    for (int i = 0; i < kControlCount; ++i) {
      const ControlState& c = S().controls[i];
      if (kInstallerControls[i].kind != ControlKind::Timer || c.interval <= 0) continue;
      if (c.nextDue <= S().now && (due < 0 || c.nextDue < S().controls[due].nextDue)) due = i;
    }
    if (due < 0) break;
    ControlState& t = S().controls[due];
    while (t.nextDue <= S().now) t.nextDue += t.interval;   // missed ticks are not made up
    kInstallerControls[due].event();
    delivered = true;
  }
  if (S().windowOpen) Repaint();
  return delivered;
}

std::string CaptionOf(Control c) { return C(c).caption; }
int IntervalOf(Control c) { return C(c).interval; }
uint32_t TextColourOf(Control c) { return C(c).colour; }
std::string FontFaceOf(Control c) { return C(c).face; }
bool VisibleOf(Control c) { return C(c).visible; }
bool DisabledOf(Control c) { return C(c).disabled; }
int MousePointer() { return S().pointer; }

}  // namespace sim

using sim::C;
using sim::S;

static void RequireOpenWindow() {
  if (!S().windowOpen) FatalError("指定窗口尚未载入", 0);
}

static void RequireKnownWindow(WindowId window) {
  if (window != WindowId::InstallerWindow || !S().windowLoaded)
    FatalError("未载入欲访问窗口组件所在的窗口", 0);
}

void SetCaptionOf(WindowId window, Control control, const char* caption) {
  RequireKnownWindow(window);
  RequireOpenWindow();
  // The engine draws nothing again for the text a control already has.
  const std::string next = caption ? caption : "";
  if (next != C(control).caption) C(control).captionDirty = true;
  C(control).caption = next;
  sim::Note(sim::NameOf(control), "caption", C(control).caption);
}

Text GetCaptionOf(WindowId window, Control control) {
  RequireKnownWindow(window);
  RequireOpenWindow();
  return Text(C(control).caption.c_str(), static_cast<int>(C(control).caption.size()));
}

void SetVisible(Control control, bool visible) {
  C(control).visible = visible;
  if (visible) C(control).captionDirty = true;
  sim::Note(sim::NameOf(control), "visible", visible ? "1" : "0");
}

void SetDisabled(Control control, bool disabled) {
  C(control).disabled = disabled;
  sim::Note(sim::NameOf(control), "disabled", disabled ? "1" : "0");
}

void SetInterval(Control timer, int32_t milliseconds) {
  RequireOpenWindow();
  if (milliseconds < 0) milliseconds = 0;
  sim::ControlState& t = C(timer);
  sim::Note(sim::NameOf(timer), "interval", std::to_string(milliseconds));
  if (milliseconds == t.interval) return;
  t.interval = milliseconds;
  if (milliseconds > 0) t.nextDue = S().now + milliseconds;
}

void SetTextColour(Control label, uint32_t colour) {
  RequireOpenWindow();
  if (colour != C(label).colour) C(label).captionDirty = true;
  C(label).colour = colour;
  sim::Note(sim::NameOf(label), "colour", std::to_string(colour));
}

void SetFontFace(Control label, const char* face) {
  RequireOpenWindow();
  const int length = TextLength(face);
  C(label).face = (length == 0 || length >= 32) ? "宋体" : face;
  C(label).captionDirty = true;
  sim::Note(sim::NameOf(label), "font", C(label).face);
}

void SetMousePointer(int kind) {
  S().pointer = kind;
  sim::Note("InstallerWindow", "pointer", std::to_string(kind));
}
