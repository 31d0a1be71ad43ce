// The removal of earlier releases: old plugin DLLs (scan pass and deletion pass, their
// per-form messages and retries), old consoles and the old core DLL.
#include "tests/unit/native/installation_test_support.h"

namespace installation_test {
namespace {

const Steps kPluginGivenUp = {{"删除旧版插件失败，3秒后退此程序", 1000}, {"请手动删除以前版本插件", 5000}};

// The rest of a run after the old-file checks, with no old console or core DLL.
Steps AfterOldPlugins() {
  return ConsoleCheck({}, kNoConsoleRemoval) + kNoOldCore + AllDataWritten() + AllPayloadsWritten();
}

// One name form of an old plugin DLL with a number, and every text the two passes show for
// it, spelled out in full.
struct OldPluginCase {
  const char* file;
  const char* scanMessage;   // "" when the scan does not look for the form
  const char* announcement;
  bool announcedTwice;
  const char* retry1;
  const char* retry2;
  const char* third;
};

const OldPluginCase kDeletedForms[] = {
    {"\\plugin\\Tovara娱乐插件1.0.1版本.cqp.dll", "找到旧版插件：Tovara娱乐插件1.0.1版本.cqp.dll",
     "删除旧版插件中：Tovara娱乐插件1.0.1版本.cqp.dll", false,
     "删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.0.1版本.cqp.dll",
     "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.0.1版本.cqp.dll",
     "删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.0.1版本.cqp.dll"},
    {"\\plugin\\Tovara娱乐插件1.0.9.cqp.dll", "找到旧版插件：Tovara娱乐插件1.0.9.cqp.dll",
     "删除旧版插件：Tovara娱乐插件1.0.9.cqp.dll", false,
     "删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.0.9.cqp.dll",
     "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.0.9.cqp.dll",
     "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.0.9"},
    {"\\plugin\\Tovara娱乐插件1.1.4版本.cqp.dll", "找到旧版插件：Tovara娱乐插件1.1.4版本.cqp.dll",
     "删除旧版插件：Tovara娱乐插件1.1.4版本", false,
     "删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.1.4版本",
     "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.1.4版本",
     "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.1.4"},
    {"\\plugin\\Tovara娱乐插件1.1.2.cqp.dll", "找到旧版插件：Tovara娱乐插件1.1.2.cqp.dll",
     "删除旧版插件：Tovara娱乐插件1.1.2", false,
     "删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.1.2",
     "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.1.2",
     "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.1.2"},
    {"\\plugin\\Tovara娱乐插件1.2.7版本.cqp.dll", "找到旧版插件：Tovara娱乐插件1.2.7版本.cqp.dll",
     "删除旧版插件：Tovara娱乐插件1.2.7版本", true,
     "删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.2.7版本",
     "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.2.7版本",
     "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.2.7"},
    {"\\plugin\\Tovara娱乐插件1.3.2版本.cqp.dll", "", "删除旧版插件：Tovara娱乐插件1.3.2版本", true,
     "删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.3.2版本",
     "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.3.2版本",
     "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.3.2版本.cqp.dll"},
    {"\\plugin\\Tovara娱乐插件1.3.8.cqp.dll", "", "删除旧版插件：Tovara娱乐插件1.3.8", false,
     "删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.3.8",
     "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.3.8",
     "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.3.8"},
};

class OldPluginForm : public ::testing::TestWithParam<OldPluginCase> {
 protected:
  // Start steps, the scan, and the announcement(s) of the one old DLL.
  Steps UpToDeletion() const {
    const OldPluginCase& c = GetParam();
    Steps s = kStart + (*c.scanMessage ? Steps{{c.scanMessage, 1000}} : kNoOldPluginFound);
    s.push_back({c.announcement, 1000});
    if (c.announcedTwice) s.push_back({c.announcement, 1000});
    return s;
  }
};

TEST_P(OldPluginForm, LockedThroughThreeAttemptsEndsTheInstallation) {
  const OldPluginCase& c = GetParam();
  MakeHost();
  ASSERT_TRUE(sim::AddFile(At(c.file), "old plugin"));
  sim::RefuseDeletion(At(c.file));
  EXPECT_EQ(sim::ClickInstallButton(), 0);

  ExpectStatusTimeline(UpToDeletion() + Steps{{c.retry1, 1000}, {c.retry2, 1000}, {c.third, 1000}} +
                       kPluginGivenUp);
  EXPECT_EQ(Deletions(c.file), 3) << "no fourth attempt";
  ExpectFile(c.file, "old plugin");
  EXPECT_EQ(sim::CountFileCalls("WriteWholeFile", At(kConfigFile)), 0);
  EXPECT_EQ(sim::ListEntries().size(), 4u) << "nothing written";
  EXPECT_TRUE(sim::StartedPrograms().empty());
}

TEST_P(OldPluginForm, DeletedAtTheThirdAttemptTheInstallationGoesOn) {
  const OldPluginCase& c = GetParam();
  MakeHost();
  ASSERT_TRUE(sim::AddFile(At(c.file), "old plugin"));
  sim::RefuseDeletion(At(c.file), 2);
  EXPECT_EQ(sim::ClickInstallButton(), 0);

  ExpectStatusTimeline(UpToDeletion() + Steps{{c.retry1, 1000}, {c.retry2, 1000}} + AfterOldPlugins());
  EXPECT_EQ(Deletions(c.file), 3);
  ExpectNoFile(c.file);
  ExpectPayloadsWritten();
}

INSTANTIATE_TEST_SUITE_P(DeletionForms, OldPluginForm, ::testing::ValuesIn(kDeletedForms));

TEST(OldPlugins, ScanAndDeletionGoByNumberThenByForm) {
  MakeHost();
  for (const char* f : {"\\plugin\\Tovara娱乐插件1.1.3.cqp.dll", "\\plugin\\Tovara娱乐插件1.0.3版本.cqp.dll",
                        "\\plugin\\Tovara娱乐插件1.2.1版本.cqp.dll", "\\plugin\\Tovara娱乐插件1.3.3.cqp.dll"})
    ASSERT_TRUE(sim::AddFile(At(f), "old"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);

  ExpectStatusTimeline(kStart +
                       Steps{{"找到旧版插件：Tovara娱乐插件1.2.1版本.cqp.dll", 1000},
                             {"找到旧版插件：Tovara娱乐插件1.0.3版本.cqp.dll", 1000},
                             {"找到旧版插件：Tovara娱乐插件1.1.3.cqp.dll", 1000},
                             {"删除旧版插件：Tovara娱乐插件1.2.1版本", 1000},
                             {"删除旧版插件：Tovara娱乐插件1.2.1版本", 1000},
                             {"删除旧版插件中：Tovara娱乐插件1.0.3版本.cqp.dll", 1000},
                             {"删除旧版插件：Tovara娱乐插件1.1.3", 1000},
                             {"删除旧版插件：Tovara娱乐插件1.3.3", 1000}} +
                       AfterOldPlugins());
  // Only the plugin folder's new DLL is left there.
  std::vector<std::string> plugins;
  for (const auto& e : sim::ListEntries())
    if (e.rfind(At("\\plugin\\"), 0) == 0) plugins.push_back(e);
  EXPECT_EQ(plugins, (std::vector<std::string>{At("\\plugin\\"), At(kPluginFile)}));
}

TEST(OldPlugins, DllsDeletedBeforeALockedOneStayDeleted) {
  MakeHost();
  const char kFirst[] = "\\plugin\\Tovara娱乐插件1.0.1.cqp.dll";
  const char kLocked[] = "\\plugin\\Tovara娱乐插件1.1.5版本.cqp.dll";
  ASSERT_TRUE(sim::AddFile(At(kFirst), "old"));
  ASSERT_TRUE(sim::AddFile(At(kLocked), "old"));
  sim::RefuseDeletion(At(kLocked));
  EXPECT_EQ(sim::ClickInstallButton(), 0);

  ExpectStatusTimeline(kStart +
                       Steps{{"找到旧版插件：Tovara娱乐插件1.0.1.cqp.dll", 1000},
                             {"找到旧版插件：Tovara娱乐插件1.1.5版本.cqp.dll", 1000},
                             {"删除旧版插件：Tovara娱乐插件1.0.1.cqp.dll", 1000},
                             {"删除旧版插件：Tovara娱乐插件1.1.5版本", 1000},
                             {"删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.1.5版本", 1000},
                             {"删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.1.5版本", 1000},
                             {"3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.1.5", 1000}} +
                       kPluginGivenUp);
  ExpectNoFile(kFirst);
  ExpectFile(kLocked, "old");
}

TEST(OldPlugins, APlain12DllIsReportedButKept) {
  MakeHost();
  const char kOld[] = "\\plugin\\Tovara娱乐插件1.2.5.cqp.dll";
  ASSERT_TRUE(sim::AddFile(At(kOld), "old"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(kStart + Steps{{"找到旧版插件：Tovara娱乐插件1.2.5.cqp.dll", 1000}} + AfterOldPlugins());
  EXPECT_EQ(Deletions(kOld), 0);
  ExpectFile(kOld, "old");
}

TEST(OldPlugins, A13DllWith版本IsNotReportedButAnnouncedTwiceAndDeleted) {
  MakeHost();
  const char kOld[] = "\\plugin\\Tovara娱乐插件1.3.2版本.cqp.dll";
  ASSERT_TRUE(sim::AddFile(At(kOld), "old"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(kStart + kNoOldPluginFound +
                       Steps{{"删除旧版插件：Tovara娱乐插件1.3.2版本", 1000},
                             {"删除旧版插件：Tovara娱乐插件1.3.2版本", 1000}} +
                       AfterOldPlugins());
  EXPECT_EQ(Deletions(kOld), 1);
  ExpectNoFile(kOld);
}

TEST(OldPlugins, LastNumbersZeroAndTenAreNeverTouched) {
  MakeHost();
  const char* kOld[] = {"\\plugin\\Tovara娱乐插件1.0.10.cqp.dll", "\\plugin\\Tovara娱乐插件1.0.0版本.cqp.dll",
                        "\\plugin\\Tovara娱乐插件1.3.10版本.cqp.dll"};
  for (const char* f : kOld) ASSERT_TRUE(sim::AddFile(At(f), "old"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(NoOldFiles() + AllDataWritten() + AllPayloadsWritten());
  for (const char* f : kOld) {
    ExpectFile(f, "old");
    EXPECT_EQ(Deletions(f), 0);
  }
}

// ---- Old consoles.

TEST(OldConsoles, TwoOld12ConsolesAreBothReportedAndOnlyTheFirstRemoved) {
  MakeHost();
  const char k3[] = "\\Tovara娱乐插件1.2.3版本控制台.exe";
  const char k5[] = "\\Tovara娱乐插件1.2.5版本控制台.exe";
  ASSERT_TRUE(sim::AddFile(At(k3), "old"));
  ASSERT_TRUE(sim::AddFile(At(k5), "old"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(kStart + kNoOldPluginFound +
                       ConsoleCheck({{"检查到旧版本控制台：" + At(k3), 0}, {"检查到旧版本控制台：" + At(k5), 0}},
                                    ConsoleRemoved(k3, true)) +
                       kNoOldCore + AllDataWritten() + AllPayloadsWritten());
  ExpectNoFile(k3);
  ExpectFile(k5, "old");
}

TEST(OldConsoles, TheSingle130ConsoleIsRemovedUnreported) {
  MakeHost();
  const char k130[] = "\\Tovara娱乐插件1.3.0版本控制台.exe";
  ASSERT_TRUE(sim::AddFile(At(k130), "old"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(kStart + kNoOldPluginFound + ConsoleCheck({}, ConsoleRemoved(k130, true)) + kNoOldCore +
                       AllDataWritten() + AllPayloadsWritten());
  ExpectNoFile(k130);
}

// At number 1 no 1.2.1 or 1.3.1 console is there, but the 1.3.0 one is: it goes first.
TEST(OldConsoles, The130ConsoleGoesBeforeHigherNumbers) {
  MakeHost();
  const char k125[] = "\\Tovara娱乐插件1.2.5版本控制台.exe";
  const char k137[] = "\\Tovara娱乐插件1.3.7版本控制台.exe";
  const char k130[] = "\\Tovara娱乐插件1.3.0版本控制台.exe";
  for (const char* f : {k125, k137, k130}) ASSERT_TRUE(sim::AddFile(At(f), "old"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(kStart + kNoOldPluginFound +
                       ConsoleCheck({{"检查到旧版本控制台：" + At(k125), 0}}, ConsoleRemoved(k130, true)) +
                       kNoOldCore + AllDataWritten() + AllPayloadsWritten());
  ExpectNoFile(k130);
  ExpectFile(k125, "old");
  ExpectFile(k137, "old");
}

TEST(OldConsoles, ALockedConsoleGetsOneAttemptAndIsReported) {
  MakeHost();
  const char k134[] = "\\Tovara娱乐插件1.3.4版本控制台.exe";
  ASSERT_TRUE(sim::AddFile(At(k134), "old"));
  sim::RefuseDeletion(At(k134));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(kStart + kNoOldPluginFound + ConsoleCheck({}, ConsoleRemoved(k134, false)) + kNoOldCore +
                       AllDataWritten() + AllPayloadsWritten());
  EXPECT_EQ(Deletions(k134), 1);
  ExpectFile(k134, "old");
}

// ---- The old core DLL.

Steps OldCoreAttempts(int failures) {
  Steps s = {{"检查是否有旧版核心文件中...", 1000}, {"发现旧版核心文件，即将删除", 1000}};
  const char* notices[] = {"删除失败，正在重试(1)", "删除失败，正在重试(2)", "删除失败，正在重试(3)"};
  for (int k = 0; k < std::min(failures, 3); ++k) s.push_back({notices[k], 1500});
  if (failures >= 4) return s + Steps{{"删除失败，请手动删除后再启动本程序", 1000}};
  return s + Steps{{"删除旧版核心文件成功！", 0}, {"", 2000}};
}

TEST(OldCore, LockedThroughFourAttemptsEndsTheInstallation) {
  MakeHost();
  ASSERT_TRUE(sim::AddFile(At(kCoreFile), "old core"));
  sim::RefuseDeletion(At(kCoreFile));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(kStart + kNoOldPluginFound + ConsoleCheck({}, kNoConsoleRemoval) + OldCoreAttempts(4));
  EXPECT_EQ(Deletions(kCoreFile), 4);
  ExpectFile(kCoreFile, "old core");
  ExpectNoFile(kConfigFile);
}

TEST(OldCore, DeletedAtOnceOrAtTheLastAttemptThenWrittenAnew) {
  for (int failures : {0, 3}) {
    SCOPED_TRACE(failures);
    MakeHost();
    ASSERT_TRUE(sim::AddFile(At(kCoreFile), "old core"));
    sim::RefuseDeletion(At(kCoreFile), failures);
    EXPECT_EQ(sim::ClickInstallButton(), 0);
    ExpectStatusTimeline(kStart + kNoOldPluginFound + ConsoleCheck({}, kNoConsoleRemoval) +
                         OldCoreAttempts(failures) + AllDataWritten() + AllPayloadsWritten());
    EXPECT_EQ(Deletions(kCoreFile), failures + 1);
    ExpectFile(kCoreFile, Original(TOVARA_ORIGINAL_CorePayload));
  }
}

}  // namespace
}  // namespace installation_test
