// The frame and the system services over the simulated platform: GBK literals, the run
// directory scan, fatal error reports, message boxes, process names and Delay.
#include <gtest/gtest.h>

#include <string>

#include "services/fatal.h"
#include "services/frame_state.h"
#include "services/platform.h"
#include "services/text_ops.h"
#include "sim/sim.h"
#include "sim/sim_files.h"
#include "window/installer_window.h"

namespace {

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

TEST(GbkLiterals, CompileToCodePage936Bytes) {
  EXPECT_EQ(Hex("↓"), "a1fd");
  EXPECT_EQ(Hex("○"), "a1f0");
  EXPECT_EQ(Hex("‘CoolQ.exe’"), "a1ae436f6f6c512e657865a1af");
  EXPECT_EQ(Hex("【一共1000个】"), "a1bed2bbb9b231303030b8f6a1bf");
  EXPECT_EQ(Hex("Tovara插件安装程序"), "546f76617261b2e5bcfeb0b2d7b0b3ccd0f2");
}

TEST(RunDirectory, IsEverythingBeforeTheLastRealBackslash) {
  EXPECT_STREQ(FolderOfPath("C:\\CoolQ\\TovaraSetup.exe").c_str(), "C:\\CoolQ");
  EXPECT_STREQ(FolderOfPath("C:\\a\\b\\").c_str(), "C:\\a\\b");
  EXPECT_STREQ(FolderOfPath("TovaraSetup.exe").c_str(), "");
  EXPECT_STREQ(FolderOfPath("").c_str(), "");
  EXPECT_STREQ(FolderOfPath(nullptr).c_str(), "");
  // 0x95 0x5C is one double-byte character whose trail byte looks like a backslash.
  EXPECT_STREQ(FolderOfPath("C:\\\x95\x5C\\Setup.exe").c_str(), "C:\\\x95\x5C");
  EXPECT_STREQ(FolderOfPath("\x95\x5CSetup.exe").c_str(), "");
  // A root path keeps nothing but the drive.
  EXPECT_STREQ(FolderOfPath("C:\\Setup.exe").c_str(), "C:");
  // A path the system cut short at the buffer's end (no terminating zero) is scanned as it
  // was returned.
  const char cut[] = {'C', ':', '\\', 'Q', '\\', 'S', 'e', 't'};
  EXPECT_STREQ(FolderOfPath(cut, sizeof cut).c_str(), "C:\\Q");
}

TEST(RunDirectory, AnswersACopyOfHostDir) {
  sim::Reset("D:\\Robot\\酷Q");
  Text a = RunDirectory();
  Text b = RunDirectory();
  EXPECT_STREQ(a.c_str(), "D:\\Robot\\酷Q");
  EXPECT_NE(a.c_str(), b.c_str());
}

TEST(FatalErrorReport, CoversEveryCodeAndMessageCombination) {
  EXPECT_STREQ(FatalErrorReport("", 0).c_str(), "运行时出错!\r\n\r\n");
  EXPECT_STREQ(FatalErrorReport(nullptr, 0).c_str(), "运行时出错!\r\n\r\n");
  EXPECT_STREQ(FatalErrorReport("指定窗口尚未载入", 0).c_str(),
               "运行时出错!\r\n\r\n错误信息：指定窗口尚未载入\r\n");
  EXPECT_STREQ(FatalErrorReport("调用DLL命令后发现堆栈错误", 6).c_str(),
               "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
  EXPECT_STREQ(FatalErrorReport("", -7).c_str(), "运行时出错!\r\n\r\n错误代码：-7\r\n\r\n");
}

TEST(FatalError, ShowsTheReportAndEndsWithMinusOne) {
  sim::Reset("C:\\Q");
  bool endRoutineRan = false;
  static bool* ran;
  ran = &endRoutineRan;
  Frame().endRoutine = [] { *ran = true; };
  EXPECT_EQ(sim::Run([] { FatalError("载入启动窗口失败", 0); }), -1);
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].title, "错误");
  EXPECT_EQ(sim::MessageBoxes()[0].text, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
  EXPECT_EQ(sim::MessageBoxes()[0].style, 0x2010u) << "error icon, OK only, task-modal";
  EXPECT_FALSE(endRoutineRan) << "FatalError forgets the end routine without running it";
  EXPECT_TRUE(sim::EndCleanupRan());
}

TEST(EndProgram, RunsTheEndRoutineOnceAndPassesTheCode) {
  sim::Reset("C:\\Q");
  static int runs;
  runs = 0;
  Frame().endRoutine = [] { ++runs; };
  EXPECT_EQ(sim::Run([] { EndProgram(0); }), 0);
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(Frame().ending);
  EXPECT_EQ(Frame().endRoutine, nullptr);
}

TEST(Memory, AFailedAllocationReportsTheByteCount) {
  sim::Reset("C:\\Q");
  sim::FailAllocations(1);
  EXPECT_EQ(sim::Run([] { Text t("0123456789"); }), -1);
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  EXPECT_EQ(sim::MessageBoxes()[0].text, "运行时出错!\r\n\r\n错误信息：分配 11 字节内存失败!\r\n");
}

TEST(Memory, ALastingFailureStillReportsAndEndsWithMinusOne) {
  sim::Reset("C:\\Q");
  ASSERT_TRUE(sim::AddFile("C:\\Q\\CoolQ.exe", "MZ"));
  ASSERT_TRUE(sim::LoadInstallerWindow());
  sim::FailAllocations(-1);   // from the click on, every allocation fails
  EXPECT_EQ(sim::ClickInstallButton(), -1);
  ASSERT_EQ(sim::MessageBoxes().size(), 1u);
  const std::string text = sim::MessageBoxes()[0].text;
  const std::string head = "运行时出错!\r\n\r\n错误信息：分配 ", tail = " 字节内存失败!\r\n";
  ASSERT_GT(text.size(), head.size() + tail.size());
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(MessageBoxes, TitleStyleAndButtonCodes) {
  sim::Reset("C:\\Q");
  ShowMessageBox("a", 16);
  ShowMessageBox("b", 0x1010, "T");
  ShowMessageBox("c", 0x2010, "T");
  ShowMessageBox("d", 48, "");
  const auto& boxes = sim::MessageBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].title, "信息：");
  EXPECT_EQ(boxes[0].style, 0x2010u);
  EXPECT_EQ(boxes[1].style, 0x1010u) << "a system-modal box is handed over unchanged";
  EXPECT_EQ(boxes[2].style, 0x2010u);
  EXPECT_EQ(boxes[3].style, 0x2030u);
  EXPECT_EQ(boxes[3].title, "");

  const int expected[][2] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}, {7, 6},
                             {0, 0}, {8, 0}, {11, 0}, {-1, 0}};
  for (const auto& pair : expected) EXPECT_EQ(ButtonCodeOf(pair[0]), pair[1]) << pair[0];
  sim::ScriptMessageBoxAnswer(7);
  EXPECT_EQ(ShowMessageBox("q", 4, "T"), 6);
}

TEST(ProcessNames, CaseFoldingLeavesTrailBytesAlone) {
  EXPECT_TRUE(ProcessNameMatches("COOLQ.EXE", "CoolQ.exe", false));
  EXPECT_TRUE(ProcessNameMatches("coolq.exe", "CoolQ.exe", false));
  EXPECT_FALSE(ProcessNameMatches("coolq.exe", "CoolQ.exe", true));
  EXPECT_TRUE(ProcessNameMatches("CoolQ.exe", "CoolQ.exe", true));
  EXPECT_FALSE(ProcessNameMatches("CoolQ.exe.bak", "CoolQ.exe", false));
  EXPECT_FALSE(ProcessNameMatches("CoolQ", "CoolQ.exe", false));
  EXPECT_FALSE(ProcessNameMatches("", "CoolQ.exe", false));
  // 0x81 0x41 is one character: its trail byte 'A' must not be folded to 'a'.
  EXPECT_FALSE(ProcessNameMatches("\x81\x41.exe", "\x81\x61.exe", false));
  EXPECT_TRUE(ProcessNameMatches("\x81\x41.EXE", "\x81\x41.exe", false));
}

TEST(Processes, OnlyTheFirstMatchInSnapshotOrderIsTerminated) {
  sim::Reset("C:\\Q");
  sim::AddProcess(10, "explorer.exe");
  sim::AddProcess(20, "CoolQ.exe.bak");
  sim::AddProcess(30, "COOLQ.EXE");
  sim::AddProcess(40, "coolq.exe");
  EXPECT_EQ(FindProcessId("CoolQ.exe"), 30u);
  EXPECT_EQ(FindProcessId("CoolQ.exe", true), 0u);
  EXPECT_TRUE(TerminateProcessByName("CoolQ.exe", false));
  EXPECT_FALSE(sim::ProcessRunning(30));
  EXPECT_TRUE(sim::ProcessRunning(40));
  EXPECT_TRUE(sim::ProcessRunning(20));
  EXPECT_FALSE(TerminateProcessByName("Nothing.exe", false));
  sim::FailSnapshot(true);
  EXPECT_EQ(FindProcessId("coolq.exe"), 0u);
  EXPECT_FALSE(TerminateProcessByName("coolq.exe", false));
}

TEST(Processes, AProcessThatCannotBeTerminatedAnswersFalse) {
  sim::Reset("C:\\Q");
  sim::AddProcess(5, "CoolQ.exe", /*terminable=*/false);
  EXPECT_FALSE(TerminateProcessByName("CoolQ.exe", false));
  EXPECT_TRUE(sim::ProcessRunning(5));
}

// ---- Delay over the virtual clock, with the window's timers as the messages it dispatches.
class DelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset("C:\\Q");
    sim::AddProcess(1, "explorer.exe");
  }
};

TEST_F(DelayTest, ZeroOrNegativeReturnsAtOnce) {
  Delay(0);
  Delay(-5);
  EXPECT_EQ(sim::Now(), 0);
  EXPECT_EQ(sim::ProcessEventsCalls(), 0);
}

TEST_F(DelayTest, DispatchesAtLeastTwiceBeforeItCanEnd) {
  Delay(1);
  EXPECT_GE(sim::ProcessEventsCalls(), 2);
}

TEST_F(DelayTest, EndsOnlyWhenStrictlyMoreThanMsHavePassed) {
  Delay(1);
  EXPECT_EQ(sim::Now(), 2);
  Delay(1000);
  EXPECT_EQ(sim::Now(), 1003);
}

TEST_F(DelayTest, LastsItsFullTimeAcrossTheTickCounterWrap) {
  sim::Reset("C:\\Q", 0xFFFFFF00u);   // the counter wraps 256 ms from now
  Delay(1000);
  EXPECT_EQ(sim::Now(), 1001);
  EXPECT_LT(sim::TickCount(), 0x1000u);
}

}  // namespace
