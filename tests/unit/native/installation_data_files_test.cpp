// The data files in ConfigFolder: written when missing, in up to four attempts for the two
// INI files, never touched when present; the brain-teaser write reported honestly.
#include "tests/unit/native/installation_test_support.h"

namespace installation_test {
namespace {

// Configuration refused k times (4: every attempt); the other files are written at once.
TEST(DataFiles, ConfigurationWriteFailingKTimes) {
  for (int failures = 0; failures <= 4; ++failures) {
    SCOPED_TRACE(failures);
    MakeHost();
    sim::RefuseWriting(At(kConfigFile), failures);
    EXPECT_EQ(sim::ClickInstallButton(), 0);
    ExpectStatusTimeline(NoOldFiles() + ConfigWritten(true, failures) + FortuneWritten(false) + TeaserWritten() +
                         kDataClosing + AllPayloadsWritten());
    EXPECT_EQ(Writes(kConfigFile), std::min(failures + 1, 4));
    if (failures < 4)
      ExpectFile(kConfigFile, Original(TOVARA_ORIGINAL_DefaultConfigText));
    else
      ExpectNoFile(kConfigFile);
    ExpectFile(kFortuneFile, FortuneFileBytes());
  }
}

// Fortune data cut short k times (a full disk): a cut write leaves no file behind, and the
// configuration written before is never touched again.
TEST(DataFiles, FortuneWriteFailingKTimes) {
  for (int failures = 0; failures <= 4; ++failures) {
    SCOPED_TRACE(failures);
    MakeHost();
    sim::FailWritingAfter(At(kFortuneFile), 4096, failures);
    EXPECT_EQ(sim::ClickInstallButton(), 0);
    ExpectStatusTimeline(NoOldFiles() + ConfigWritten(true) + FortuneWritten(false, failures) + TeaserWritten() +
                         kDataClosing + AllPayloadsWritten());
    EXPECT_EQ(Writes(kFortuneFile), std::min(failures + 1, 4));
    if (failures < 4)
      ExpectFile(kFortuneFile, FortuneFileBytes());
    else
      ExpectNoFile(kFortuneFile);
    EXPECT_EQ(Writes(kConfigFile), 1);
    ExpectFile(kConfigFile, Original(TOVARA_ORIGINAL_DefaultConfigText));
  }
}

TEST(DataFiles, FortuneFileHasLineBreaksInsteadOfMarkers) {
  MakeHost();
  sim::ClickInstallButton();
  const std::string written = *sim::FileBytes(At(kFortuneFile));
  EXPECT_EQ(written.find("[enter]"), std::string::npos);
  EXPECT_EQ(written.rfind("[第○○一签]\r\n\r\n", 0), 0u);
}

TEST(DataFiles, ConfigFolderPresentWhileTheConfigurationIsMissing) {
  MakeHost();
  ASSERT_TRUE(sim::AddFolder(At(kConfigFolder)));
  ASSERT_TRUE(sim::AddFile(At(kFortuneFile), "mine"));
  ASSERT_TRUE(sim::AddFile(At(kTeaserFile), "mine too"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(NoOldFiles() + ConfigWritten(false) + kFortuneFound + kTeaserFound + kDataClosing +
                       AllPayloadsWritten());
  ExpectFile(kConfigFile, Original(TOVARA_ORIGINAL_DefaultConfigText));
  ExpectFile(kFortuneFile, "mine");
  ExpectFile(kTeaserFile, "mine too");
}

// Without the host's \config folder nothing can be made in ConfigFolder: both INI files give
// up after four attempts, the brain-teaser and card writes fail and say so.
TEST(DataFiles, ConfigFolderParentMissing) {
  MakeHost(true, false);
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  const ExpectedTimeline e = ExpectStatusTimeline(
      NoOldFiles() + ConfigWritten(false, 4) + FortuneWritten(false, 4) + TeaserWritten(false) + kDataClosing +
      kPayloadPreamble + kPluginWritten + ConsoleWrite() + kCardWrite + CoreWrite() + Closing(false));
  EXPECT_EQ(sim::CountFileCalls("CreateFolder", At(kConfigFolder)), 2);
  EXPECT_EQ(Writes(kTeaserFile), 1);
  EXPECT_EQ(Writes(kCardFile), 1);
  for (const auto& entry : sim::ListEntries())
    EXPECT_NE(entry.rfind(At("\\config"), 0), 0u) << Readable(entry);
  ExpectFile(kPluginFile, Original(TOVARA_ORIGINAL_PluginPayload));
  ExpectFile(kConsoleFile, Original(TOVARA_ORIGINAL_ConsolePayload));
  ExpectFile(kCoreFile, Original(TOVARA_ORIGINAL_CorePayload));
  ExpectConsoleStarted(e.end);
}

// Only the brain-teaser file missing: the count runs, the file is the carried data.
TEST(DataFiles, OnlyTheTeaserFileMissing) {
  MakeHost();
  ASSERT_TRUE(sim::AddFile(At(kConfigFile), "c"));
  ASSERT_TRUE(sim::AddFile(At(kFortuneFile), "f"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(NoOldFiles() + kConfigFound + kFortuneFound + TeaserWritten() + kDataClosing +
                       AllPayloadsWritten());
  ExpectFile(kTeaserFile, Original(TOVARA_ORIGINAL_TeaserData));
}

TEST(DataFiles, TeaserWriteFailingIsReportedAsAFailure) {
  MakeHost();
  sim::RefuseWriting(At(kTeaserFile));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(NoOldFiles() + ConfigWritten(true) + FortuneWritten(false) + TeaserWritten(false) +
                       kDataClosing + AllPayloadsWritten());
  EXPECT_EQ(Writes(kTeaserFile), 1) << "one attempt";
  ExpectNoFile(kTeaserFile);
}

}  // namespace
}  // namespace installation_test
