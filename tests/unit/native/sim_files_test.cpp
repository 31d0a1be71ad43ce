// The simulated file operations: the same outcomes as the real ones, over a real folder, and
// the faults the installation tests inject.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "services/file_ops.h"
#include "services/text_ops.h"
#include "sim/sim.h"
#include "sim/sim_files.h"

namespace {

const std::string kHost = "D:\\酷Q Air";

std::string P(const std::string& relative) { return kHost + relative; }

bool Write(const std::string& path, const std::string& bytes) {
  ByteBlock block = ByteBlock::CopyOf(bytes.data(), static_cast<int>(bytes.size()));
  return WriteWholeFile(path.c_str(), block);
}

class SimFiles : public ::testing::Test {
 protected:
  void SetUp() override { sim::Reset(kHost); }
};

TEST_F(SimFiles, ExistenceOfFilesAndFolders) {
  ASSERT_TRUE(sim::AddFile(P("\\CoolQ.exe"), "MZ"));
  ASSERT_TRUE(sim::AddFolder(P("\\plugin")));
  EXPECT_TRUE(FileExists(P("\\CoolQ.exe").c_str()));
  EXPECT_TRUE(FileExists(P("\\coolq.EXE").c_str()));   // names ignore ASCII case
  EXPECT_TRUE(FileExists(P("\\plugin").c_str()));      // a folder counts
  EXPECT_TRUE(FileExists(kHost.c_str()));                // HostDir itself
  EXPECT_FALSE(FileExists((kHost + "\\").c_str()));     // a trailing backslash finds nothing
  EXPECT_FALSE(FileExists(P("\\missing.dll").c_str()));
  EXPECT_FALSE(FileExists(P("\\missing\\a.dll").c_str()));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(nullptr));
  EXPECT_FALSE(FileExists("C:\\elsewhere\\CoolQ.exe"));   // outside HostDir: missing
}

TEST_F(SimFiles, WildcardsInTheLastLevel) {
  ASSERT_TRUE(sim::AddFile(P("\\plugin\\com.tovara.fun.dll"), "x"));
  ASSERT_TRUE(sim::AddFolder(P("\\empty")));
  EXPECT_TRUE(FileExists(P("\\plugin\\*.dll").c_str()));
  EXPECT_TRUE(FileExists(P("\\plugin\\COM.tovara.???.dll").c_str()));
  EXPECT_FALSE(FileExists(P("\\plugin\\*.exe").c_str()));
  EXPECT_FALSE(FileExists(P("\\plugin\\com.tovara.??.dll").c_str()));
  // As on Windows, "*" in a folder that exists finds its "." entry even when it is empty.
  EXPECT_TRUE(FileExists(P("\\empty\\*").c_str()));
  EXPECT_FALSE(FileExists(P("\\nothere\\*").c_str()));
}

TEST_F(SimFiles, DoubleByteNamesKeepTheirBytes) {
  // "昞" ends in the byte 0x5C: it must not split the name into two levels.
  std::string folder = P("\\config\\昞Tovara娱乐插件配置");
  ASSERT_TRUE(sim::AddFolder(P("\\config")));
  EXPECT_TRUE(CreateFolder(folder.c_str()));
  EXPECT_TRUE(Write(folder + "\\抽签数据.ini", "签"));
  EXPECT_EQ(sim::FileBytes(folder + "\\抽签数据.ini"), std::string("签"));
  std::vector<std::string> expected = {P("\\config\\"), folder + "\\", folder + "\\抽签数据.ini"};
  EXPECT_EQ(sim::ListEntries(), expected);
  struct stat st;
  EXPECT_EQ(stat((sim::FilesRoot() + "/config/昞Tovara娱乐插件配置").c_str(), &st), 0);
}

TEST_F(SimFiles, CreateFolderMakesOneLevel) {
  EXPECT_TRUE(CreateFolder(P("\\config").c_str()));
  EXPECT_FALSE(CreateFolder(P("\\config").c_str()));          // exists already
  EXPECT_FALSE(CreateFolder(P("\\CONFIG").c_str()));
  EXPECT_FALSE(CreateFolder(P("\\a\\b").c_str()));            // parent missing
  ASSERT_TRUE(sim::AddFile(P("\\file"), "x"));
  EXPECT_FALSE(CreateFolder(P("\\file").c_str()));            // a file of that name
  EXPECT_FALSE(CreateFolder(P("\\file\\sub").c_str()));
  EXPECT_FALSE(CreateFolder(""));
  EXPECT_EQ(sim::ListEntries(), (std::vector<std::string>{P("\\config\\"), P("\\file")}));
}

TEST_F(SimFiles, DeleteOneFileOnlyDeletesFiles) {
  ASSERT_TRUE(sim::AddFile(P("\\plugin\\old.dll"), "x"));
  EXPECT_FALSE(DeleteOneFile(P("\\plugin\\missing.dll").c_str()));
  EXPECT_FALSE(DeleteOneFile(P("\\plugin").c_str()));         // a folder
  EXPECT_FALSE(DeleteOneFile(P("\\plugin\\*.dll").c_str()));  // no wild cards
  EXPECT_TRUE(FileExists(P("\\plugin\\old.dll").c_str()));
  EXPECT_TRUE(DeleteOneFile(P("\\plugin\\OLD.dll").c_str()));
  EXPECT_FALSE(FileExists(P("\\plugin\\old.dll").c_str()));
  EXPECT_FALSE(DeleteOneFile(P("\\plugin\\old.dll").c_str()));
}

TEST_F(SimFiles, WriteWholeFileReplacesTheContent) {
  ASSERT_TRUE(sim::AddFile(P("\\a.ini"), "a much longer old content"));
  EXPECT_TRUE(Write(P("\\a.ini"), "new"));
  EXPECT_EQ(sim::FileBytes(P("\\a.ini")), std::string("new"));
  EXPECT_TRUE(Write(P("\\A.INI"), ""));                       // same file, now empty
  EXPECT_EQ(sim::FileBytes(P("\\a.ini")), std::string());
  EXPECT_EQ(sim::ListEntries(), std::vector<std::string>{P("\\a.ini")});

  ByteBlock parts[3] = {ToBytes("ab"), ByteBlock(), ToBytes("cd")};
  EXPECT_TRUE(WriteWholeFile(P("\\b.bin").c_str(), parts, 3));
  EXPECT_EQ(sim::FileBytes(P("\\b.bin")), std::string("abcd"));
}

// A run ended half way may leave the temporary file of a target: the next write of that target
// removes its own (any slot). A user's file of any other name, a stale temporary file of
// another target and the same name in another folder are left alone.
TEST_F(SimFiles, WriteWholeFileClearsOnlyItsTargetsStaleTemporaryFiles) {
  const std::string target = P("\\cfg\\settings.ini");
  const std::string others[] = {
      WriteTempPath(P("\\cfg\\messages.ini").c_str(), 1).c_str(),
      WriteTempPath(P("\\settings.ini").c_str(), 1).c_str(),
      P("\\cfg\\~tv1.tmp"), P("\\cfg\\~tv2.tmp"), P("\\cfg\\settings.ini.tmp")};
  for (const std::string& name : others) ASSERT_TRUE(sim::AddFile(name, "someone's"));
  for (int n : {1, 2, kWriteTempLast})
    ASSERT_TRUE(sim::AddFile(WriteTempPath(target.c_str(), n).c_str(), "stale"));
  EXPECT_TRUE(Write(target, "new"));
  std::vector<std::string> expected(std::begin(others), std::end(others));
  expected.push_back(P("\\cfg\\"));
  expected.push_back(target);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sim::ListEntries(), expected);
  for (const std::string& name : others) EXPECT_EQ(sim::FileBytes(name), std::string("someone's")) << name;
}

TEST_F(SimFiles, WriteWholeFileRefusals) {
  EXPECT_FALSE(Write("", "x"));
  EXPECT_FALSE(Write(P("\\missing\\a.ini"), "x"));            // parent missing
  ASSERT_TRUE(sim::AddFolder(P("\\dir")));
  EXPECT_FALSE(Write(P("\\dir"), "x"));                       // a folder
  EXPECT_FALSE(Write("C:\\elsewhere.ini", "x"));
  EXPECT_EQ(sim::ListEntries(), std::vector<std::string>{P("\\dir\\")});
}

TEST_F(SimFiles, RefusedDeletionForSomeAttempts) {
  std::string dll = P("\\plugin\\old.dll");
  ASSERT_TRUE(sim::AddFile(dll, "x"));
  sim::RefuseDeletion(dll, 2);
  EXPECT_FALSE(DeleteOneFile(dll.c_str()));
  EXPECT_FALSE(DeleteOneFile(P("\\PLUGIN\\old.dll").c_str()));   // same file, other case
  EXPECT_TRUE(FileExists(dll.c_str()));
  EXPECT_TRUE(DeleteOneFile(dll.c_str()));
  EXPECT_EQ(sim::CountFileCalls("DeleteOneFile", dll), 3);
}

TEST_F(SimFiles, RefusedDeletionAlways) {
  std::string dll = P("\\plugin\\old.dll");
  std::string other = P("\\plugin\\other.dll");
  ASSERT_TRUE(sim::AddFile(dll, "x"));
  ASSERT_TRUE(sim::AddFile(other, "y"));
  sim::RefuseDeletion(dll);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(DeleteOneFile(dll.c_str()));
  EXPECT_TRUE(DeleteOneFile(other.c_str()));                  // only that path
  sim::ClearFileFaults();
  EXPECT_TRUE(DeleteOneFile(dll.c_str()));
}

TEST_F(SimFiles, RefusedWritingKeepsTheOldContent) {
  std::string ini = P("\\插件配置.ini");
  ASSERT_TRUE(sim::AddFile(ini, "old"));
  sim::RefuseWriting(ini, 1);
  EXPECT_FALSE(Write(ini, "new"));
  EXPECT_EQ(sim::FileBytes(ini), std::string("old"));
  EXPECT_TRUE(Write(ini, "new"));
  EXPECT_EQ(sim::FileBytes(ini), std::string("new"));
}

TEST_F(SimFiles, WriteCutShortLeavesTheOldContentOrNothing) {
  std::string dll = P("\\plugin.dll");
  std::string fresh = P("\\fresh.dll");
  ASSERT_TRUE(sim::AddFile(dll, "old bytes"));
  sim::FailWritingAfter(dll, 4);
  sim::FailWritingAfter(fresh, 4, 1);
  EXPECT_FALSE(Write(dll, "0123456789"));
  EXPECT_EQ(sim::FileBytes(dll), std::string("old bytes"));
  EXPECT_TRUE(Write(dll, "0123"));                            // fits in the space left
  EXPECT_EQ(sim::FileBytes(dll), std::string("0123"));
  EXPECT_FALSE(Write(fresh, "0123456789"));
  EXPECT_FALSE(FileExists(fresh.c_str()));
  EXPECT_EQ(sim::ListEntries(), std::vector<std::string>{dll});   // no leftovers
  EXPECT_TRUE(Write(fresh, "0123456789"));                    // the one attempt is used up
}

TEST_F(SimFiles, RefusedFolderCreation) {
  std::string config = P("\\config");
  sim::RefuseFolderCreation(config, 1);
  EXPECT_FALSE(CreateFolder(config.c_str()));
  EXPECT_FALSE(FileExists(config.c_str()));
  EXPECT_TRUE(CreateFolder(config.c_str()));
}

TEST_F(SimFiles, CallsAreRecordedWithTheirResults) {
  sim::AddFile(P("\\x"), "1");
  FileExists(P("\\x").c_str());
  DeleteOneFile(P("\\y").c_str());
  const auto& calls = sim::FileCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].operation, "FileExists");
  EXPECT_TRUE(calls[0].result);
  EXPECT_EQ(calls[1].operation, "DeleteOneFile");
  EXPECT_EQ(calls[1].path, P("\\y"));
  EXPECT_FALSE(calls[1].result);
}

TEST_F(SimFiles, ResetStartsFromAnEmptyFolder) {
  std::string oldRoot = sim::FilesRoot();
  sim::AddFile(P("\\x"), "1");
  sim::RefuseDeletion(P("\\y"));
  sim::Reset(kHost);
  EXPECT_NE(sim::FilesRoot(), oldRoot);
  struct stat st;
  EXPECT_NE(stat(oldRoot.c_str(), &st), 0);                   // the old folder is gone
  EXPECT_TRUE(sim::ListEntries().empty());
  EXPECT_TRUE(sim::FileCalls().empty());
  sim::AddFile(P("\\y"), "1");
  EXPECT_TRUE(DeleteOneFile(P("\\y").c_str()));               // faults were cleared
}

TEST_F(SimFiles, RunProgramRecordsTheStart) {
  std::string console = P("\\Tovara控制台.exe");
  ASSERT_TRUE(sim::AddFile(console, "MZ"));
  EXPECT_TRUE(RunProgram(console.c_str(), false));
  EXPECT_TRUE(RunProgram(("\"" + console + "\" -x").c_str(), true, 0));
  EXPECT_TRUE(RunProgram(P("\\Tovara控制台").c_str(), false, 9));   // ".exe" is implied
  const auto& runs = sim::StartedPrograms();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].commandLine, console);
  EXPECT_FALSE(runs[0].wait);
  EXPECT_FALSE(runs[0].showMode.has_value());
  EXPECT_EQ(runs[0].showState, 1);   // SW_SHOWNORMAL
  EXPECT_TRUE(runs[1].wait);
  EXPECT_EQ(runs[1].showState, 0);   // below 1 counts as 1: SW_HIDE
  EXPECT_EQ(runs[2].showState, 6);   // above 6 counts as 6: SW_MINIMIZE
}

TEST_F(SimFiles, RunProgramFindsTheProgramLikeCreateProcess) {
  ASSERT_TRUE(sim::AddFile(P("\\tools\\run.exe"), "MZ"));
  EXPECT_TRUE(RunProgram((P("\\tools\\run.exe") + " arg").c_str(), false));
  EXPECT_FALSE(RunProgram(P("\\tools\\missing.exe").c_str(), false));
  EXPECT_FALSE(RunProgram(P("\\tools").c_str(), false));     // a folder is no program
  EXPECT_FALSE(RunProgram("", false));
  // A host folder with a blank is found when the path is quoted.
  EXPECT_TRUE(RunProgram(("\"" + P("\\tools\\run.exe") + "\"").c_str(), false));
  sim::FailProgramStarts(1);
  EXPECT_FALSE(RunProgram(P("\\tools\\run.exe").c_str(), false));
  EXPECT_TRUE(RunProgram(P("\\tools\\run.exe").c_str(), false));
  std::vector<bool> results;
  for (const auto& run : sim::StartedPrograms()) results.push_back(run.result);
  EXPECT_EQ(results, (std::vector<bool>{true, false, false, false, true, false, true}));
}

}  // namespace
