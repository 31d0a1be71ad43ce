// The real file and process services, on the real file system. Every case works in a fresh
// folder with a GBK name and ends by listing it, so a temporary file left behind fails it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "services/file_ops.h"
#include "services/text_ops.h"

namespace {

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.find_last_of('\\'));
}

std::string HelperPath(const char* name) {
  return ProgramFolder() + "\\..\\helpers\\" + name + ".exe";
}

std::vector<std::string> List(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    for (const auto& name : List(path)) RemoveTree(path + "\\" + name);
    RemoveDirectoryA(path.c_str());
  } else {
    DeleteFileA(path.c_str());
  }
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  char chunk[65536];
  DWORD n = 0;
  while (ReadFile(file, chunk, sizeof chunk, &n, nullptr) && n > 0) bytes.append(chunk, n);
  CloseHandle(file);
  return bytes;
}

// Writes a file directly, for the setup of a case.
void Put(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

bool Write(const std::string& path, const std::string& bytes) {
  ByteBlock block = ByteBlock::CopyOf(bytes.data(), static_cast<int>(bytes.size()));
  return WriteWholeFile(path.c_str(), block);
}

// A helper program running beside the test; terminated when the case ends.
class Helper {
 public:
  Helper() = default;
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;
  ~Helper() { Stop(); }

  bool Start(const std::string& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process_) != FALSE;
  }
  bool Running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
  }
  void Stop() {
    if (!process_.hProcess) return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
  }

 private:
  PROCESS_INFORMATION process_ = {};
};

bool WaitForFile(const std::string& path, const Helper& helper, DWORD ms) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    if (!helper.Running()) return false;
    Sleep(10);
  }
  return false;
}

class FileOps : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string base;
    const char* temp = std::getenv("TOVARA_TEST_TEMP");
    if (temp && *temp) {
      base = std::string("Z:") + temp;
      std::replace(base.begin(), base.end(), '/', '\\');
      CreateDirectoryA(base.c_str(), nullptr);
    } else {
      char path[MAX_PATH] = {};
      GetTempPathA(MAX_PATH, path);
      base = path;
      if (!base.empty() && base.back() == '\\') base.pop_back();
    }
    char name[64];
    static int serial = 0;
    std::snprintf(name, sizeof name, "\\文件测试-%lu-%d",
                  static_cast<unsigned long>(GetCurrentProcessId()), ++serial);
    dir_ = base + name;
    RemoveTree(dir_);
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
  }
  void TearDown() override { RemoveTree(dir_); }

  std::string At(const std::string& name) const { return dir_ + "\\" + name; }
  std::vector<std::string> Entries() const { return List(dir_); }

  // Starts hold_file_open on path and waits until it holds the file.
  void Hold(Helper& helper, const std::string& path, const char* mode) {
    std::string ready = dir_ + "-ready";
    DeleteFileA(ready.c_str());
    std::string line = "\"" + HelperPath("hold_file_open") + "\" \"" + path + "\" " + mode +
                       " \"" + ready + "\" 30000";
    ASSERT_TRUE(helper.Start(line)) << "helper missing: " << HelperPath("hold_file_open");
    ASSERT_TRUE(WaitForFile(ready, helper, 10000)) << "the helper could not open " << path;
    DeleteFileA(ready.c_str());
  }

  std::string dir_;
};

using Names = std::vector<std::string>;

// ---- FileExists

TEST_F(FileOps, FileExistsFilesFoldersAndEmptyPaths) {
  Put(At("CoolQ.exe"), "MZ");
  CreateDirectoryA(At("plugin").c_str(), nullptr);
  EXPECT_TRUE(FileExists(At("CoolQ.exe").c_str()));
  EXPECT_TRUE(FileExists(At("coolq.EXE").c_str()));
  EXPECT_TRUE(FileExists(At("plugin").c_str()));            // a folder counts
  EXPECT_FALSE(FileExists(At("missing.exe").c_str()));
  EXPECT_FALSE(FileExists(At("missing\\CoolQ.exe").c_str()));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(nullptr));
}

TEST_F(FileOps, FileExistsWildcardsAndHiddenEntries) {
  CreateDirectoryA(At("plugin").c_str(), nullptr);
  Put(At("plugin\\com.tovara.fun.dll"), "x");
  Put(At("secret.dat"), "x");
  SetFileAttributesA(At("secret.dat").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(FileExists(At("plugin\\*.dll").c_str()));
  EXPECT_TRUE(FileExists(At("plugin\\com.tovara.???.dll").c_str()));
  EXPECT_FALSE(FileExists(At("plugin\\*.exe").c_str()));
  EXPECT_TRUE(FileExists(At("secret.dat").c_str()));
}

TEST_F(FileOps, FileExistsWithDoubleByteNames) {
  // "昞" ends in the byte 0x5C, the code of a backslash.
  std::string folder = At("Tovara娱乐插件配置");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  Put(folder + "\\昞抽签数据.ini", "x");
  EXPECT_TRUE(FileExists((folder + "\\昞抽签数据.ini").c_str()));
  EXPECT_FALSE(FileExists((folder + "\\昞").c_str()));
  EXPECT_EQ(List(folder), Names{"昞抽签数据.ini"});
}

// ---- CreateFolder

TEST_F(FileOps, CreateFolderOneLevelOnly) {
  EXPECT_TRUE(CreateFolder(At("config").c_str()));
  Put(At("config\\keep.ini"), "keep");
  EXPECT_FALSE(CreateFolder(At("config").c_str()));          // exists: false, unchanged
  EXPECT_EQ(ReadAll(At("config\\keep.ini")), "keep");
  EXPECT_FALSE(CreateFolder(At("missing\\config").c_str()));  // parent missing
  EXPECT_FALSE(CreateFolder(""));
  EXPECT_TRUE(CreateFolder(At("config\\Tovara娱乐插件配置").c_str()));
  EXPECT_EQ(Entries(), Names{"config"});
  EXPECT_EQ(List(At("config")), (Names{"Tovara娱乐插件配置", "keep.ini"}));
}

// ---- DeleteOneFile

TEST_F(FileOps, DeleteOneFileRefusals) {
  Put(At("old.dll"), "x");
  Put(At("readonly.dll"), "r");
  SetFileAttributesA(At("readonly.dll").c_str(), FILE_ATTRIBUTE_READONLY);
  CreateDirectoryA(At("folder").c_str(), nullptr);
  EXPECT_FALSE(DeleteOneFile(At("missing.dll").c_str()));
  EXPECT_FALSE(DeleteOneFile(At("readonly.dll").c_str()));
  EXPECT_FALSE(DeleteOneFile(At("folder").c_str()));
  EXPECT_FALSE(DeleteOneFile(At("*.dll").c_str()));
  EXPECT_FALSE(DeleteOneFile(""));
  EXPECT_EQ(Entries(), (Names{"folder", "old.dll", "readonly.dll"}));
  EXPECT_TRUE(DeleteOneFile(At("OLD.dll").c_str()));
  EXPECT_EQ(Entries(), (Names{"folder", "readonly.dll"}));
}

TEST_F(FileOps, DeleteOneFileHeldOpenByAnotherProgram) {
  Put(At("loaded.dll"), "x");
  Helper holder;
  Hold(holder, At("loaded.dll"), "lock");
  EXPECT_FALSE(DeleteOneFile(At("loaded.dll").c_str()));
  holder.Stop();
  EXPECT_EQ(ReadAll(At("loaded.dll")), "x");
  EXPECT_TRUE(DeleteOneFile(At("loaded.dll").c_str()));
  EXPECT_TRUE(Entries().empty());
}

// ---- WriteWholeFile

TEST_F(FileOps, WriteWholeFileContents) {
  EXPECT_TRUE(Write(At("new.ini"), "abc\r\n"));
  EXPECT_EQ(ReadAll(At("new.ini")), "abc\r\n");

  Put(At("long.ini"), std::string(5000, 'o'));
  EXPECT_TRUE(Write(At("long.ini"), "short"));
  EXPECT_EQ(ReadAll(At("long.ini")), "short");              // nothing of the old tail

  ByteBlock parts[4] = {ToBytes("ab"), ByteBlock(), ToBytes("配置"), ToBytes("")};
  EXPECT_TRUE(WriteWholeFile(At("parts.bin").c_str(), parts, 4));
  EXPECT_EQ(ReadAll(At("parts.bin")), "ab配置");

  ByteBlock empty[2];
  EXPECT_TRUE(WriteWholeFile(At("empty.bin").c_str(), empty, 2));
  EXPECT_TRUE(FileExists(At("empty.bin").c_str()));
  EXPECT_EQ(ReadAll(At("empty.bin")), "");

  std::string big(3 * 1024 * 1024 + 7, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + (i >> 9));
  EXPECT_TRUE(Write(At("昞plugin.dll"), big));
  EXPECT_TRUE(ReadAll(At("昞plugin.dll")) == big);

  EXPECT_EQ(Entries(), (Names{"empty.bin", "long.ini", "new.ini", "parts.bin", "昞plugin.dll"}));
  EXPECT_EQ(GetFileAttributesA(At("new.ini").c_str()) &
                (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            0u);
}

TEST_F(FileOps, WriteWholeFileEmptyOrUnusablePaths) {
  EXPECT_FALSE(Write("", "x"));
  EXPECT_FALSE(Write(At("missing\\a.ini"), "x"));
  CreateDirectoryA(At("folder").c_str(), nullptr);
  EXPECT_FALSE(Write(At("folder"), "x"));
  EXPECT_EQ(Entries(), Names{"folder"});
  EXPECT_TRUE(List(At("folder")).empty());
}

// Windows refuses to recreate a read-only, hidden or system file; the answer is false and the
// file keeps its content and attributes (Wine would let the replacement through).
TEST_F(FileOps, WriteWholeFileRefusesProtectedTargets) {
  const struct { const char* name; DWORD attributes; } targets[] = {
      {"readonly.ini", FILE_ATTRIBUTE_READONLY},
      {"hidden.ini", FILE_ATTRIBUTE_HIDDEN},
      {"system.ini", FILE_ATTRIBUTE_SYSTEM},
      {"both.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
  };
  for (const auto& t : targets) {
    Put(At(t.name), "old content");
    ASSERT_TRUE(SetFileAttributesA(At(t.name).c_str(), t.attributes));
  }
  for (const auto& t : targets) {
    SCOPED_TRACE(t.name);
    EXPECT_FALSE(Write(At(t.name), "new"));
    EXPECT_EQ(ReadAll(At(t.name)), "old content");
    EXPECT_EQ(GetFileAttributesA(At(t.name).c_str()) & t.attributes, t.attributes);
  }
  EXPECT_EQ(Entries(), (Names{"both.ini", "hidden.ini", "readonly.ini", "system.ini"}));
}

TEST_F(FileOps, WriteWholeFileOnATargetHeldWithoutSharing) {
  Put(At("plugin.dll"), "old dll");
  Helper holder;
  Hold(holder, At("plugin.dll"), "lock");
  EXPECT_FALSE(Write(At("plugin.dll"), "new dll bytes"));
  EXPECT_EQ(Entries(), Names{"plugin.dll"});
  holder.Stop();
  EXPECT_EQ(ReadAll(At("plugin.dll")), "old dll");
}

// The target is open (attributes only, everything shared): the content is written to the
// temporary file, but the target cannot be replaced while open. The temporary file goes.
TEST_F(FileOps, WriteWholeFileWhoseReplacementFails) {
  Put(At("plugin.dll"), "old dll");
  Helper holder;
  Hold(holder, At("plugin.dll"), "attributes");
  EXPECT_FALSE(Write(At("plugin.dll"), std::string(100000, 'n')));
  EXPECT_EQ(Entries(), Names{"plugin.dll"});
  holder.Stop();
  EXPECT_EQ(ReadAll(At("plugin.dll")), "old dll");
  EXPECT_TRUE(Write(At("plugin.dll"), "new dll"));
  EXPECT_EQ(ReadAll(At("plugin.dll")), "new dll");
}

// The temporary files of a target left by a run that was ended half way go before the next
// write of that target. One of its names that another writer holds open is stepped over and
// stays, and so does every other name: another target's temporary file, a user's "~tv2.tmp".
TEST_F(FileOps, WriteWholeFileStepsOverTakenTemporaryNames) {
  const std::string target = At("settings.ini");
  auto nameOf = [](const Text& path) {
    std::string s = path.c_str();
    return s.substr(s.find_last_of('\\') + 1);
  };
  const std::string held = nameOf(WriteTempPath(target.c_str(), 1));
  const std::string stale = nameOf(WriteTempPath(target.c_str(), 3));
  const std::string others = nameOf(WriteTempPath(At("messages.ini").c_str(), 2));
  for (const std::string& name : {held, stale, others, std::string("~tv1.tmp"),
                                  std::string("~tv2.tmp"), std::string("tv1.tmp")})
    Put(At(name), "someone's");
  Put(target, "old");
  Helper holder;
  Hold(holder, At(held), "lock");
  EXPECT_TRUE(Write(target, "new"));
  holder.Stop();
  EXPECT_EQ(ReadAll(target), "new");
  Names expected{"settings.ini", held, others, "~tv1.tmp", "~tv2.tmp", "tv1.tmp"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(), expected);
  EXPECT_EQ(ReadAll(At("~tv2.tmp")), "someone's");
}

// Driven by tests/e2e/test_write_disk_full.sh, which runs this case under a file-size limit
// (TOVARA_FILE_LIMIT_KB) so that the write stops half way, as on a full disk.
TEST_F(FileOps, WriteWholeFileCutShortKeepsTheOldContent) {
  const char* limit = std::getenv("TOVARA_FILE_LIMIT_KB");
  if (!limit) GTEST_SKIP() << "run by tests/e2e/test_write_disk_full.sh";
  size_t size = static_cast<size_t>(std::atol(limit)) * 1024 * 3;
  Put(At("plugin.dll"), "old dll");
  EXPECT_FALSE(Write(At("plugin.dll"), std::string(size, 'n')));
  EXPECT_EQ(ReadAll(At("plugin.dll")), "old dll");
  EXPECT_FALSE(Write(At("fresh.dll"), std::string(size, 'n')));
  EXPECT_EQ(Entries(), Names{"plugin.dll"});
  EXPECT_TRUE(Write(At("small.ini"), "fits"));
  EXPECT_EQ(ReadAll(At("small.ini")), "fits");
}

// ---- RunProgram

struct StartReport {
  unsigned flags = 0, show = 99, pid = 0;
  std::string dir, cmd;
  bool ended = false;
};

StartReport ReadReport(const std::string& path) {
  StartReport r;
  std::string text = ReadAll(path);
  std::sscanf(text.c_str(), "flags=%u show=%u pid=%u", &r.flags, &r.show, &r.pid);
  size_t d = text.find("\ndir=");
  size_t c = text.find("\ncmd=");
  if (d != std::string::npos && c != std::string::npos) r.dir = text.substr(d + 5, c - d - 5);
  if (c != std::string::npos) {
    size_t e = text.find('\n', c + 1);
    r.cmd = text.substr(c + 5, e - c - 5);
  }
  r.ended = text.find("\nend\n") != std::string::npos;
  return r;
}

TEST_F(FileOps, RunProgramMissingProgram) {
  DWORD start = GetTickCount();
  EXPECT_FALSE(RunProgram(At("missing.exe").c_str(), false));
  EXPECT_FALSE(RunProgram(("\"" + At("missing.exe") + "\"").c_str(), true));
  EXPECT_FALSE(RunProgram("", false));
  EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST_F(FileOps, RunProgramWaitsForTheEnd) {
  std::string report = At("report.txt");
  std::string line = "\"" + HelperPath("report_start") + "\" \"" + report + "\" 400";
  DWORD start = GetTickCount();
  ASSERT_TRUE(RunProgram(line.c_str(), true)) << line;
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 390u);
  StartReport r = ReadReport(report);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(r.cmd, line);                                   // unchanged, nothing added
  EXPECT_EQ(r.flags & STARTF_USESHOWWINDOW, static_cast<unsigned>(STARTF_USESHOWWINDOW));
  EXPECT_EQ(r.show, static_cast<unsigned>(SW_SHOWNORMAL));  // no show mode: 2
}

// An ended program whose handles are all closed is gone: its id no longer opens. Handles
// left open by RunProgram would keep it.
bool ProcessIdOpens(unsigned pid) {
  HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!h) return false;
  CloseHandle(h);
  return true;
}

bool GoneWithin(unsigned pid, DWORD ms) {
  DWORD start = GetTickCount();
  while (ProcessIdOpens(pid)) {
    if (GetTickCount() - start > ms) return false;
    Sleep(20);
  }
  return true;
}

TEST_F(FileOps, RunProgramClosesItsHandles) {
  std::string report = At("r.txt");
  std::string line = "\"" + HelperPath("report_start") + "\" \"" + report + "\" 0";

  // The check itself: a program whose handle is still held stays openable after its end.
  Helper held;
  ASSERT_TRUE(held.Start(line));
  ASSERT_TRUE(WaitForFile(report, held, 10000));
  for (int i = 0; i < 500 && !ReadReport(report).ended; ++i) Sleep(20);
  Sleep(200);
  EXPECT_TRUE(ProcessIdOpens(ReadReport(report).pid));
  held.Stop();
  DeleteFileA(report.c_str());

  ASSERT_TRUE(RunProgram(line.c_str(), true));
  unsigned waited = ReadReport(report).pid;
  ASSERT_NE(waited, 0u);
  EXPECT_TRUE(GoneWithin(waited, 3000));
  DeleteFileA(report.c_str());

  ASSERT_TRUE(RunProgram(line.c_str(), false));
  DWORD start = GetTickCount();
  while (!ReadReport(report).ended && GetTickCount() - start < 10000) Sleep(20);
  unsigned notWaited = ReadReport(report).pid;
  ASSERT_NE(notWaited, 0u);
  EXPECT_TRUE(GoneWithin(notWaited, 3000));
}

TEST_F(FileOps, RunProgramWithoutWaitingReturnsWithinASecond) {
  std::string report = At("report.txt");
  char here[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, here);
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
  std::string line = "\"" + HelperPath("report_start") + "\"   \"" + report + "\" 3000 x";
  DWORD start = GetTickCount();
  bool started = RunProgram(line.c_str(), false);
  DWORD elapsed = GetTickCount() - start;
  SetCurrentDirectoryA(here);
  ASSERT_TRUE(started);
  EXPECT_LT(elapsed, 1600u);
  DWORD waitStart = GetTickCount();
  while (GetFileAttributesA(report.c_str()) == INVALID_FILE_ATTRIBUTES &&
         GetTickCount() - waitStart < 10000)
    Sleep(20);
  StartReport r = ReadReport(report);
  EXPECT_FALSE(r.ended);
  EXPECT_EQ(r.cmd, line);
  EXPECT_EQ(r.dir, dir_);                                   // the installer's current folder
  // Let it finish so the folder can go.
  while (!ReadReport(report).ended && GetTickCount() - waitStart < 15000) Sleep(50);
}

TEST_F(FileOps, RunProgramShowModes) {
  const struct { int mode; unsigned state; } cases[] = {
      {-4, SW_HIDE}, {0, SW_HIDE}, {1, SW_HIDE}, {2, SW_SHOWNORMAL}, {3, SW_SHOWMINIMIZED},
      {4, SW_SHOWMAXIMIZED}, {5, SW_SHOWNOACTIVATE}, {6, SW_MINIMIZE}, {7, SW_MINIMIZE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    std::string report = At("show.txt");
    DeleteFileA(report.c_str());
    std::string line = "\"" + HelperPath("report_start") + "\" \"" + report + "\" 0";
    ASSERT_TRUE(RunProgram(line.c_str(), true, c.mode));
    StartReport r = ReadReport(report);
    EXPECT_EQ(r.show, c.state);
    EXPECT_EQ(r.flags & STARTF_USESHOWWINDOW, static_cast<unsigned>(STARTF_USESHOWWINDOW));
  }
}

// ---- The runtime's own formatting

// The Windows C runtime prints three exponent digits and follows its locale; the counter
// text must still be the "%.13g" text.
TEST(ToTextWin32, DoublesHaveTheOneForm) {
  auto s = [](double v) { return std::string(ToText(v).c_str()); };
  EXPECT_EQ(s(1e20), "1e+20");
  EXPECT_EQ(s(1e-5), "1e-05");
  EXPECT_EQ(s(1e300), "1e+300");
  EXPECT_EQ(s(1.0 / 3), "0.3333333333333");
  EXPECT_EQ(s(100.0), "100");
  EXPECT_EQ(s(0.1), "0.1");
  EXPECT_EQ(ToNumber("1.5e3"), 1500.0);
  EXPECT_EQ(ToNumber("０．２５"), 0.25);
}

}  // namespace
