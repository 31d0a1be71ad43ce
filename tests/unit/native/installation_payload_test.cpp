// The four carried programs: retries, what a failure stops or lets through, the closing
// summary and the start of the console.
#include "tests/unit/native/installation_test_support.h"

namespace installation_test {
namespace {

Steps UpToPayloads() { return NoOldFiles() + AllDataWritten() + kPayloadPreamble; }

TEST(Payloads, PluginWriteFailingThreeTimesEndsWithNothingElseWritten) {
  MakeHost();
  sim::RefuseWriting(At(kPluginFile));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(UpToPayloads() + kPluginFailedThrice);
  EXPECT_EQ(Writes(kPluginFile), 3);
  ExpectNoFile(kPluginFile);
  for (const char* f : {kConsoleFile, kCardFile, kCoreFile}) EXPECT_EQ(Writes(f), 0) << Readable(f);
  EXPECT_TRUE(sim::StartedPrograms().empty());
}

TEST(Payloads, PluginFolderMissingIsNeverCreated) {
  MakeHost(false, true);
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(UpToPayloads() + kPluginFailedThrice);
  EXPECT_EQ(sim::CountFileCalls("CreateFolder", At("\\plugin")), 0);
  ExpectNoFile(kPluginFile);
}

TEST(Payloads, PluginWrittenAtTheSecondOrThirdAttempt) {
  for (int failures : {1, 2}) {
    SCOPED_TRACE(failures);
    MakeHost();
    sim::RefuseWriting(At(kPluginFile), failures);
    EXPECT_EQ(sim::ClickInstallButton(), 0);
    ExpectStatusTimeline(UpToPayloads() +
                         Steps(kPluginFailedThrice.begin(), kPluginFailedThrice.begin() + failures) +
                         kPluginWritten + ConsoleWrite() + kCardWrite + CoreWrite() + Closing(true));
    ExpectPayloadsWritten();
  }
}

// A console that cannot be written is reported; the rest is written, the closing says some
// files failed, and the start is still tried (and finds nothing there).
TEST(Payloads, ConsoleWriteFailingKTimes) {
  for (int failures = 1; failures <= 3; ++failures) {
    SCOPED_TRACE(failures);
    MakeHost();
    sim::RefuseWriting(At(kConsoleFile), failures);
    EXPECT_EQ(sim::ClickInstallButton(), 0);
    const bool written = failures < 3;
    const ExpectedTimeline e = ExpectStatusTimeline(UpToPayloads() + kPluginWritten + ConsoleWrite(failures) +
                                                    kCardWrite + CoreWrite() + Closing(written));
    EXPECT_EQ(Writes(kConsoleFile), std::min(failures + 1, 3));
    if (written)
      ExpectFile(kConsoleFile, Original(TOVARA_ORIGINAL_ConsolePayload));
    else
      ExpectNoFile(kConsoleFile);
    ExpectFile(kCoreFile, Original(TOVARA_ORIGINAL_CorePayload));
    ExpectConsoleStarted(e.end, written);
  }
}

// A locked console keeps its old content; starting it runs whatever is at that path.
TEST(Payloads, LockedOldConsoleIsStartedAsItIs) {
  MakeHost();
  ASSERT_TRUE(sim::AddFile(At(kConsoleFile), "old console"));
  sim::RefuseDeletion(At(kConsoleFile));
  sim::RefuseWriting(At(kConsoleFile));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  const ExpectedTimeline e = ExpectStatusTimeline(
      kStart + kNoOldPluginFound + ConsoleCheck({}, ConsoleRemoved(kConsoleFile, false)) + kNoOldCore +
      AllDataWritten() + kPayloadPreamble + kPluginWritten + ConsoleWrite(3) + kCardWrite + CoreWrite() +
      Closing(false));
  ExpectFile(kConsoleFile, "old console");
  ExpectConsoleStarted(e.end, true);
}

TEST(Payloads, CardWriteFailingShowsNothingButTheClosingSaysSo) {
  MakeHost();
  sim::RefuseWriting(At(kCardFile));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(UpToPayloads() + kPluginWritten + ConsoleWrite() + kCardWrite + CoreWrite() +
                       Closing(false));
  EXPECT_EQ(Writes(kCardFile), 1);
  ExpectNoFile(kCardFile);
}

TEST(Payloads, OldCardProgramIsDeletedAndReplaced) {
  MakeHost();
  ASSERT_TRUE(sim::AddFile(At(kCardFile), "old card"));
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(NoOldFiles() + ConfigWritten(false) + FortuneWritten(false) + TeaserWritten() +
                       kDataClosing + AllPayloadsWritten());
  EXPECT_EQ(Deletions(kCardFile), 1);
  ExpectFile(kCardFile, Original(TOVARA_ORIGINAL_CardPayload));
}

TEST(Payloads, CoreWriteFailingKTimes) {
  for (int failures = 1; failures <= 3; ++failures) {
    SCOPED_TRACE(failures);
    MakeHost();
    sim::FailWritingAfter(At(kCoreFile), 65536, failures);
    EXPECT_EQ(sim::ClickInstallButton(), 0);
    const bool written = failures < 3;
    const ExpectedTimeline e = ExpectStatusTimeline(UpToPayloads() + kPluginWritten + ConsoleWrite() + kCardWrite +
                                                    CoreWrite(failures) + Closing(written));
    EXPECT_EQ(Writes(kCoreFile), std::min(failures + 1, 3));
    if (written)
      ExpectFile(kCoreFile, Original(TOVARA_ORIGINAL_CorePayload));
    else
      ExpectNoFile(kCoreFile);
    ExpectConsoleStarted(e.end);
  }
}

// The start is not tested: a failing start still ends with 0 and nothing on the status line.
TEST(Payloads, FailingConsoleStartIsNotReported) {
  MakeHost();
  sim::FailProgramStarts();
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ExpectStatusTimeline(NoOldFiles() + AllDataWritten() + AllPayloadsWritten());
  ExpectConsoleStarted(sim::Now(), false);
}

// A host folder whose path has a space: unquoted, the command line would name "C:\Program".
TEST(Payloads, ConsoleStartedByItsQuotedPath) {
  const std::string host = "C:\\Program Files\\酷Q";
  sim::Reset(host);
  ASSERT_TRUE(sim::AddFile(host + "\\CoolQ.exe", "MZ"));
  ASSERT_TRUE(sim::AddFolder(host + "\\plugin"));
  ASSERT_TRUE(sim::AddFolder(host + "\\config"));
  ASSERT_TRUE(sim::LoadInstallerWindow());
  EXPECT_EQ(sim::ClickInstallButton(), 0);
  ASSERT_EQ(sim::StartedPrograms().size(), 1u);
  EXPECT_EQ(sim::StartedPrograms()[0].commandLine, "\"" + host + kConsoleFile + "\"");
  EXPECT_TRUE(sim::StartedPrograms()[0].result);
}

}  // namespace
}  // namespace installation_test
