// The window as the installer drives it, over the simulated platform: the host check in the
// created event, the property rules, the closed-window rule, the counter and the spinner.
#include <gtest/gtest.h>

#include <string>

#include "services/platform.h"
#include "sim/sim.h"
#include "sim/sim_files.h"
#include "window/installer_window.h"
#include "window/spinner.h"
#include "window/window_description.h"

namespace {

const char kHost[] = "C:\\酷Q Pro";

std::string HostPath(const char* relative) { return std::string(kHost) + relative; }

// A host folder with CoolQ.exe, the window loaded and shown.
void OpenWindow() {
  sim::Reset(kHost);
  ASSERT_TRUE(sim::AddFile(HostPath("\\CoolQ.exe"), "MZ"));
  ASSERT_TRUE(sim::LoadInstallerWindow());
  ASSERT_TRUE(sim::WindowShown());
}

TEST(HostCheck, MissingHostShowsTheErrorBoxAndEndsWithZero) {
  sim::Reset(kHost);
  sim::AddProcess(7, "CoolQ.exe");
  EXPECT_FALSE(sim::LoadInstallerWindow());
  EXPECT_EQ(sim::LastExitCode(), 0);
  EXPECT_FALSE(sim::WindowShown());
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  const auto& box = sim::MessageBoxes()[0];
  EXPECT_EQ(box.title, "错误提示");
  EXPECT_EQ(box.style, 0x2010u);
  EXPECT_EQ(box.text.size(), 213u);
  const std::string tail = "(含有‘CoolQ.exe’的文件夹)";
  EXPECT_EQ(box.text.substr(box.text.size() - tail.size()), tail);
  const std::string head = "无法找到酷Qpro相关文件，程序无法继续运行,请";
  EXPECT_EQ(box.text.substr(0, head.size()), head);
  EXPECT_TRUE(sim::ProcessRunning(7)) << "the check comes before the shutdown";
  EXPECT_EQ(sim::ListEntries().size(), 0u) << "nothing is written";
}

TEST(HostCheck, AFolderNamedCoolQExeCountsButNotOneInAParentOrChild) {
  sim::Reset(kHost);
  sim::AddFolder(HostPath("\\CoolQ.exe"));
  EXPECT_TRUE(sim::LoadInstallerWindow());
  EXPECT_TRUE(sim::WindowShown());

  sim::Reset(kHost);
  sim::AddFile(HostPath("\\bin\\CoolQ.exe"), "MZ");
  EXPECT_FALSE(sim::LoadInstallerWindow());
  EXPECT_EQ(sim::LastExitCode(), 0);
}

TEST(HostShutdown, TerminatesTheFirstRunningHostAndSaysSoOnce) {
  sim::Reset(kHost);
  sim::AddFile(HostPath("\\CoolQ.exe"), "MZ");
  sim::AddProcess(11, "CoolQ.exe.bak");
  sim::AddProcess(12, "coolq.exe");
  sim::AddProcess(13, "COOLQ.EXE");
  EXPECT_TRUE(sim::LoadInstallerWindow());
  EXPECT_EQ(sim::TerminatedProcesses(), std::vector<uint32_t>{12});
  EXPECT_TRUE(sim::ProcessRunning(13));
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].title, "关闭进程提示");
  EXPECT_EQ(sim::MessageBoxes()[0].style, 0x2030u);
  EXPECT_EQ(sim::MessageBoxes()[0].text, "检测到酷Q正在运行中，已经自动关闭（插件安装需要结束酷Q）");
  EXPECT_TRUE(sim::WindowShown());
}

TEST(HostShutdown, NoBoxWhenNoHostRuns) {
  sim::Reset(kHost);
  sim::AddFile(HostPath("\\CoolQ.exe"), "MZ");
  sim::AddProcess(11, "CoolQ");
  EXPECT_TRUE(sim::LoadInstallerWindow());
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST(PluginInfoLabel, AClickOpensTheWebAddressItsSecondLineShows) {
  OpenWindow();
  const std::string caption = sim::CaptionOf(Control::PluginInfoLabel);
  DescriptionOf(Control::PluginInfoLabel).event();   // the left button released over it
  ASSERT_EQ(sim::OpenedAddresses().size(), 1u);
  const std::string address = sim::OpenedAddresses()[0];
  const size_t lineBreak = caption.find("\r\n");
  ASSERT_NE(lineBreak, std::string::npos);
  EXPECT_EQ(caption.substr(lineBreak + 2), "Tovara论坛：" + address);
  // Without a scheme, the shell opens a bare name as a web page only when it begins "www.".
  EXPECT_EQ(address.rfind("www.", 0), 0u) << address;
  EXPECT_EQ(address.find(':'), std::string::npos) << address;
  EXPECT_TRUE(sim::WindowOpen());
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST(SpinnerFont, IsAddedAtCreationAndReleasedWithTheWindow) {
  OpenWindow();
  EXPECT_EQ(sim::AddedFontBytes(), 57868);
  EXPECT_EQ(sim::FontFaceOf(Control::SpinnerLabel), "Setup");
  EXPECT_EQ(SpinnerGlyphCode, 0xE052);
  sim::CloseWindowNow();
  ASSERT_EQ(sim::RemovedFontHandles().size(), 1u);
  EXPECT_NE(sim::RemovedFontHandles()[0], 0u);
}

TEST(SpinnerFont, AZeroHandleIsStillReleased) {
  sim::Reset(kHost);
  sim::AddFile(HostPath("\\CoolQ.exe"), "MZ");
  sim::SetFontAddResult(0);
  ASSERT_TRUE(sim::LoadInstallerWindow());
  sim::CloseWindowNow();
  EXPECT_EQ(sim::RemovedFontHandles(), std::vector<uintptr_t>{0});
}

TEST(Properties, IntervalRule) {
  OpenWindow();
  SetInterval(Control::SpinPauseTimer, 1000);   // a timer with no visible effect of its own
  SetInterval(Control::SpinPauseTimer, 0);
  SetInterval(Control::ElapsedTimer, 30);
  sim::RunMessageLoopFor(20);
  SetInterval(Control::ElapsedTimer, 30);       // equal: the next tick stays at 30
  sim::RunMessageLoopFor(15);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "1");
  SetInterval(Control::ElapsedTimer, 0);
  SetInterval(Control::ElapsedTimer, 30);       // restarted: counted from this write
  sim::RunMessageLoopFor(29);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "1");
  sim::RunMessageLoopFor(1);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "2");
  SetInterval(Control::ElapsedTimer, -4);       // negative stops, like 0
  EXPECT_EQ(sim::IntervalOf(Control::ElapsedTimer), 0);
  sim::RunMessageLoopFor(500);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "2");
}

TEST(Properties, OnlyTheLastCaptionOfAHandlerIsShown) {
  OpenWindow();
  SetStatus("first");
  SetStatus("second");
  Delay(10);
  auto shown = sim::ShownStatus();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().value, "second");
  for (const auto& r : shown) EXPECT_NE(r.value, "first");
  Text caption = GetCaption(Control::StatusLabel);
  EXPECT_STREQ(caption.c_str(), "second");
  Text never = GetCaption(Control::ElapsedCaption);
  EXPECT_STREQ(never.c_str(), "");
}

TEST(Properties, FontFaceRule) {
  OpenWindow();
  SetFontFace(Control::StatusLabel, "");
  EXPECT_EQ(sim::FontFaceOf(Control::StatusLabel), "宋体");
  SetFontFace(Control::StatusLabel, "0123456789012345678901234567890");   // 31 bytes
  EXPECT_EQ(sim::FontFaceOf(Control::StatusLabel), "0123456789012345678901234567890");
  SetFontFace(Control::StatusLabel, "01234567890123456789012345678901");  // 32 bytes
  EXPECT_EQ(sim::FontFaceOf(Control::StatusLabel), "宋体");
}

TEST(ClosedWindow, ControlWritesEndTheProgramOthersAreRecorded) {
  struct Case {
    const char* what;
    void (*write)();
    bool fatal;
  };
  const Case cases[] = {
      {"caption", [] { SetStatus("x"); }, true},
      {"caption read", [] { Text t = GetCaption(Control::ElapsedValue); }, true},
      {"interval", [] { SetInterval(Control::SpinTimer, 30); }, true},
      {"colour", [] { SetTextColour(Control::ElapsedValue, kCounterRed); }, true},
      {"font", [] { SetFontFace(Control::SpinnerLabel, "Setup"); }, true},
      {"visible", [] { SetVisible(Control::StartHintLabel, false); }, false},
      {"disabled", [] { SetDisabled(Control::InstallButton, true); }, false},
      {"pointer", [] { SetMousePointer(kPointerWait); }, false},
  };
  for (const Case& c : cases) {
    OpenWindow();
    sim::CloseWindowNow();
    const int code = sim::Run(c.write);
    if (c.fatal) {
      EXPECT_EQ(code, -1) << c.what;
      ASSERT_FALSE(sim::MessageBoxes().empty()) << c.what;
      EXPECT_EQ(sim::MessageBoxes().back().text, "运行时出错!\r\n\r\n错误信息：指定窗口尚未载入\r\n")
          << c.what;
    } else {
      EXPECT_EQ(code, sim::kDidNotEnd) << c.what;
    }
  }
}

TEST(ClosedWindow, AWaitingQuitRequestStopsDispatchButNotTheDelay) {
  OpenWindow();
  SetInterval(Control::ElapsedTimer, 1000);
  sim::CloseWindowAt(1500);
  EXPECT_EQ(sim::Run([] { Delay(3000); }), sim::kDidNotEnd);
  EXPECT_EQ(sim::Now(), 3001);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "1") << "no tick after the close";
  EXPECT_FALSE(sim::WindowOpen());
  EXPECT_EQ(sim::Run([] { Delay(2000); }), sim::kDidNotEnd);
  EXPECT_EQ(sim::Now(), 5002);
}

TEST(ElapsedCounter, TurnsOrangeAfter100AndRedAfter130) {
  OpenWindow();
  SetCaption(Control::ElapsedValue, "0");
  SetInterval(Control::ElapsedTimer, 1000);
  sim::RunMessageLoopFor(100 * 1000);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "100");
  EXPECT_EQ(sim::TextColourOf(Control::ElapsedValue), kCounterGreen);
  sim::RunMessageLoopFor(1000);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "101");
  EXPECT_EQ(sim::TextColourOf(Control::ElapsedValue), kCounterOrange);
  sim::RunMessageLoopFor(29 * 1000);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "130");
  EXPECT_EQ(sim::TextColourOf(Control::ElapsedValue), kCounterOrange);
  const size_t before = sim::TimelineOf("ElapsedValue", "colour").size();
  sim::RunMessageLoopFor(1000);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "131");
  EXPECT_EQ(sim::TextColourOf(Control::ElapsedValue), kCounterRed);
  auto colours = sim::TimelineOf("ElapsedValue", "colour");
  ASSERT_EQ(colours.size(), before + 2) << "orange, then red over it";
  EXPECT_EQ(colours[before].value, std::to_string(kCounterOrange));
  EXPECT_EQ(colours[before + 1].value, std::to_string(kCounterRed));
  // Stopped, the count and colour stay.
  SetInterval(Control::ElapsedTimer, 0);
  sim::RunMessageLoopFor(5000);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "131");
}

TEST(ElapsedCounter, CountsOnFromAFractionalOrFullWidthCaption) {
  OpenWindow();
  SetCaption(Control::ElapsedValue, "１２");   // full-width digits
  SetInterval(Control::ElapsedTimer, 1000);
  sim::RunMessageLoopFor(1000);
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), "13");
}

TEST(Spinner, OneCycleShows121GlyphsThenABlankPause) {
  OpenWindow();
  const int64_t start = sim::Now();
  SetInterval(Control::SpinTimer, kSpinPeriod);
  sim::RunMessageLoopFor(4000);
  auto shown = sim::TimelineOf("SpinnerLabel", "shown");
  std::vector<sim::Record> afterStart;
  for (const auto& r : shown)
    if (r.time > start) afterStart.push_back(r);
  ASSERT_GE(afterStart.size(), 123u);
  Text first = GlyphText(0xE052);
  Text last = GlyphText(0xE0CB);
  EXPECT_EQ(first.Length(), 2);
  EXPECT_EQ(afterStart[0].time - start, 30);
  EXPECT_EQ(afterStart[0].value, first.c_str());
  EXPECT_EQ(afterStart[120].time - start, 3630);
  EXPECT_EQ(afterStart[121].time - start, 3660);
  EXPECT_EQ(afterStart[121].value, " ");
  EXPECT_EQ(afterStart[122].time - start, 3940);
  EXPECT_EQ(afterStart[122].value, first.c_str());
  for (const auto& r : afterStart) EXPECT_NE(r.value, last.c_str()) << "U+E0CB is never drawn";
}

TEST(Spinner, KeepsItsGlyphCodeAcrossAStop) {
  OpenWindow();
  SetInterval(Control::SpinTimer, kSpinPeriod);
  sim::RunMessageLoopFor(300);   // ten ticks
  SetInterval(Control::SpinTimer, 0);
  EXPECT_EQ(SpinnerGlyphCode, 0xE052 + 10);
  sim::RunMessageLoopFor(1000);
  SetInterval(Control::SpinTimer, kSpinPeriod);
  sim::RunMessageLoopFor(30);
  Text expected = GlyphText(0xE052 + 10);
  EXPECT_EQ(sim::CaptionOf(Control::SpinnerLabel), expected.c_str());
}

TEST(GlyphText, GivesTheCodePage936CharacterOfAPrivateUseCode) {
  Text t = GlyphText(0xE052);
  ASSERT_EQ(t.Length(), 2);
  EXPECT_EQ(static_cast<unsigned char>(t.c_str()[0]), 0xAA);
  EXPECT_EQ(static_cast<unsigned char>(t.c_str()[1]), 0xF3);
  Text a = GlyphText('A');
  EXPECT_STREQ(a.c_str(), "A");
}

}  // namespace
