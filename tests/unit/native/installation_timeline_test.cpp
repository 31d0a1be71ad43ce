// The whole installation from the click to the end of the program, over the simulated
// platform: status texts with their virtual times, the counter, timers and pointer, the files.
#include "services/file_ops.h"
#include "services/frame_state.h"
#include "tests/unit/native/installation_test_support.h"

namespace installation_test {
namespace {

TEST(InstallationTimeline, FreshInstallWritesEverythingInAboutSeventySixSeconds) {
  MakeHost();
  EXPECT_EQ(sim::ClickInstallButton(), 0);

  const Steps steps = NoOldFiles() + AllDataWritten() + AllPayloadsWritten();
  EXPECT_EQ(TotalWait(steps), 76000);
  const ExpectedTimeline e = ExpectStatusTimeline(steps);
  ExpectDataFilesWritten();
  ExpectPayloadsWritten();
  ExpectConsoleStarted(e.end);
  EXPECT_EQ(sim::ListEntries().size(), 11u) << "CoolQ.exe, two folders made or kept, eight files";
}

TEST(InstallationTimeline, StartStepsComeBeforeTheFirstStatusInOrder) {
  MakeHost();
  const size_t before = sim::Timeline().size();
  sim::ClickInstallButton();
  std::vector<std::string> first;
  for (size_t i = before; i < sim::Timeline().size(); ++i) {
    const sim::Record& r = sim::Timeline()[i];
    if (r.property == "shown") continue;
    first.push_back(r.control + " " + r.property + " " + r.value);
    if (r.control == "StatusLabel") break;
  }
  const std::vector<std::string> expected = {
      "InstallButton disabled 1",        "StartHintLabel visible 0",
      "ElapsedCaption caption 已用时间：", "ElapsedValue caption 0",
      "ElapsedTimer interval 1000",      "SpinTimer interval 30",
      "ElapsedUnit caption S",           "StatusLabel caption 正在初始化插件安装....",
  };
  EXPECT_EQ(first, expected);
  EXPECT_TRUE(sim::DisabledOf(Control::InstallButton)) << "never enabled again";
  EXPECT_FALSE(sim::VisibleOf(Control::StartHintLabel));
}

// The counter counts every second from the click and stands still from the elapsed-time
// message on; the pointer shows the hourglass for the last configuration pause; both timers
// are stopped at the very end.
TEST(InstallationTimeline, CounterPointerAndTimersAtTheEnd) {
  MakeHost();
  sim::ClickInstallButton();
  const ExpectedTimeline e = Timed(NoOldFiles() + AllDataWritten() + AllPayloadsWritten());
  ASSERT_GT(e.summaryAt, 0);

  const auto counter = Written("ElapsedValue", "caption");
  ASSERT_EQ(counter.size(), static_cast<size_t>(e.summaryAt / 1000 + 1));
  for (size_t k = 0; k < counter.size(); ++k)
    EXPECT_EQ(counter[k], (TimedText{static_cast<int64_t>(k) * 1000, std::to_string(k)}));
  EXPECT_EQ(sim::CaptionOf(Control::ElapsedValue), std::to_string(e.summaryAt / 1000));
  // The message carries the caption as displayed.
  EXPECT_EQ(sim::TimelineOf("StatusLabel", "caption").at(e.statuses.size() - 2).value,
            SummaryText(sim::CaptionOf(Control::ElapsedValue)));

  const int64_t pauseAt = e.summaryAt - 4001;
  EXPECT_EQ(Written("InstallerWindow", "pointer"),
            (std::vector<TimedText>{{pauseAt, "4"}, {e.summaryAt, "0"}}));
  EXPECT_EQ(Written("ElapsedTimer", "interval"),
            (std::vector<TimedText>{{0, "1000"}, {e.summaryAt, "0"}, {e.end, "0"}}));
  const auto spin = Written("SpinTimer", "interval");
  EXPECT_EQ(spin.front(), (TimedText{0, "30"}));
  EXPECT_EQ(spin.back(), (TimedText{e.end, "0"}));
  EXPECT_GT(spin.size(), 4u) << "the spinner kept turning through its pauses";
  EXPECT_EQ(sim::IntervalOf(Control::SpinTimer), 0);
}

TEST(InstallationTimeline, AllDataPresentTakesAboutFiftySevenSecondsAndLeavesTheDataAlone) {
  MakeHost();
  // Present files are never read: an empty or damaged one stays as it is.
  ASSERT_TRUE(sim::AddFile(At(kConfigFile), ""));
  ASSERT_TRUE(sim::AddFile(At(kFortuneFile), "[damaged"));
  ASSERT_TRUE(sim::AddFile(At(kTeaserFile), "user's own teasers\r\n"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);

  const Steps steps = NoOldFiles() + AllDataFound() + AllPayloadsWritten();
  EXPECT_EQ(TotalWait(steps), 57000);
  const ExpectedTimeline e = ExpectStatusTimeline(steps);
  ExpectFile(kConfigFile, "");
  ExpectFile(kFortuneFile, "[damaged");
  ExpectFile(kTeaserFile, "user's own teasers\r\n");
  EXPECT_EQ(Writes(kConfigFile) + Writes(kFortuneFile) + Writes(kTeaserFile), 0);
  EXPECT_EQ(sim::CountFileCalls("CreateFolder", At(kConfigFolder)), 0);
  ExpectPayloadsWritten();
  ExpectConsoleStarted(e.end);
}

// A second run over the first one's files: the new plugin DLL is also the 1.3.1 form of the
// old-file table (announced twice and deleted), the new console the 1.3.1 console, the core
// DLL the old core DLL; all come back, and an old card program is replaced.
TEST(InstallationTimeline, ReinstallOverTheFirstRunsFiles) {
  MakeHost();
  ASSERT_EQ(sim::ClickInstallButton(), 0);
  ASSERT_TRUE(sim::AddFile(At(kCardFile), "old card"));

  // The first run's files stay where they are; only the window and the clock start anew.
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : sim::ListEntries())
    if (entry.back() != '\\') files.push_back({entry, *sim::FileBytes(entry)});
  sim::Reset(kHost);
  for (const auto& f : files) ASSERT_TRUE(sim::AddFile(f.first, f.second));
  ASSERT_TRUE(sim::LoadInstallerWindow());
  EXPECT_EQ(sim::ClickInstallButton(), 0);

  const Steps oldFiles =
      kStart + kNoOldPluginFound +
      Steps{{"删除旧版插件：Tovara娱乐插件1.3.1版本", 1000}, {"删除旧版插件：Tovara娱乐插件1.3.1版本", 1000}} +
      ConsoleCheck({}, ConsoleRemoved(kConsoleFile, true)) +
      Steps{{"检查是否有旧版核心文件中...", 1000},
            {"发现旧版核心文件，即将删除", 1000},
            {"删除旧版核心文件成功！", 0},
            {"", 2000}};
  const ExpectedTimeline e = ExpectStatusTimeline(oldFiles + AllDataFound() + AllPayloadsWritten());
  EXPECT_EQ(Writes(kConfigFile) + Writes(kFortuneFile) + Writes(kTeaserFile), 0);
  ExpectDataFilesWritten();
  ExpectPayloadsWritten();
  ExpectConsoleStarted(e.end);
}

// The window closed during a wait: the script goes on to its next property write, and the
// file operations on the way still happen; that write ends the program with -1.
TEST(InstallationTimeline, WindowClosedDuringAWaitEndsAtTheNextPropertyWrite) {
  MakeHost();
  const ExpectedTimeline full = Timed(NoOldFiles() + AllDataWritten() + AllPayloadsWritten());
  int64_t announcedAt = -1;
  for (const auto& s : full.statuses)
    if (s.text == "写出文件到plugin中.....") announcedAt = s.time;
  ASSERT_GT(announcedAt, 0);
  sim::CloseWindowAt(announcedAt + 700);
  EXPECT_EQ(sim::ClickInstallButton(), -1);

  // Everything up to the plugin announcement, and no status after it.
  ExpectStatusTimeline(NoOldFiles() + AllDataWritten() +
                       kPayloadPreamble);
  ASSERT_FALSE(sim::MessageBoxes().empty());
  EXPECT_NE(sim::MessageBoxes().back().text.find("指定窗口尚未载入"), std::string::npos);
  EXPECT_EQ(sim::MessageBoxes().back().title, "错误");
  ExpectDataFilesWritten();
  ExpectFile(kPluginFile, Original(TOVARA_ORIGINAL_PluginPayload));   // written after the wait, and kept
  ExpectNoFile(kConsoleFile);
  EXPECT_TRUE(sim::StartedPrograms().empty());
}

// A console removal announced, the window closed in the wait before the deletion: the old
// console is still deleted before the status write ends the program.
TEST(InstallationTimeline, WindowClosedBeforeAConsoleDeletionStillDeletesIt) {
  MakeHost();
  const char kOld[] = "\\Tovara娱乐插件1.2.6版本控制台.exe";
  ASSERT_TRUE(sim::AddFile(At(kOld), "old console"));
  const Steps upToDeletion =
      kStart + kNoOldPluginFound +
      Steps{{"", 2000}, {"检查是否有旧版本控制台中.....", 2000}, {"检查到旧版本控制台：" + At(kOld), 0},
            {"", 2000}, {"", 2000}, {"删除旧版本控制台中.....", 2000}};
  sim::CloseWindowAt(Timed(upToDeletion).end - 5);
  EXPECT_EQ(sim::ClickInstallButton(), -1);
  ExpectStatusTimeline(upToDeletion);
  ExpectNoFile(kOld);
}

// Windows' ANSI file functions refuse paths of MAX_PATH bytes or more: the temporary file each
// write goes through lies in the target's folder and never has a longer path than the target.
TEST(InstallationTimeline, NoWriteGoesThroughALongerPathThanItsTarget) {
  MakeHost();
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  int writes = 0;
  for (const sim::FileCall& call : sim::FileCalls()) {
    if (call.operation != "WriteWholeFile") continue;
    ++writes;
    for (int n = 1; n <= kWriteTempLast; ++n) {
      Text temp = WriteTempPath(call.path.c_str(), n);
      EXPECT_LE(temp.Length(), static_cast<int>(call.path.size())) << temp.c_str();
      EXPECT_STREQ(FolderOfPath(temp.c_str()).c_str(), FolderOfPath(call.path.c_str()).c_str());
    }
  }
  EXPECT_EQ(writes, 7) << "three data files and four programs";
}

}  // namespace
}  // namespace installation_test
