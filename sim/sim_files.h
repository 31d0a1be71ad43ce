#pragma once
// Files and started programs of the simulated platform. The installer's paths are Windows
// paths, HostDir + "\relative\path" in GBK; the simulated platform keeps their files in a
// fresh real folder made by sim::Reset, one level of that folder per path level, the GBK bytes
// of each name kept as the file name. Names are matched without regard to the case of ASCII
// letters, as on Windows. Paths outside HostDir answer as missing and cannot be written.
//
// Faults are set per path (same matching) and count attempts: kAlways, or the next n calls.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

constexpr int kAlways = -1;

// DeleteOneFile on path answers false and the file stays (a file held open by the host).
void RefuseDeletion(const std::string& path, int times = kAlways);
// WriteWholeFile on path answers false and nothing changes.
void RefuseWriting(const std::string& path, int times = kAlways);
// WriteWholeFile on path stops after `bytes` bytes (a full disk): answers false, and the
// target keeps its old content or stays absent.
void FailWritingAfter(const std::string& path, int bytes, int times = kAlways);
// CreateFolder on path answers false and nothing is created.
void RefuseFolderCreation(const std::string& path, int times = kAlways);
void ClearFileFaults();

// Setting up and inspecting the simulated disk; parents are created as needed.
bool AddFile(const std::string& path, const std::string& bytes);
bool AddFolder(const std::string& path);
std::optional<std::string> FileBytes(const std::string& path);   // nullopt: no such file
// Every entry under HostDir as a Windows path, sorted; folders end with "\".
std::vector<std::string> ListEntries();
std::string FilesRoot();   // the real folder that stands for HostDir

// Every call of the file operations, in order.
struct FileCall {
  int64_t time;
  std::string operation;   // "FileExists", "CreateFolder", "DeleteOneFile", "WriteWholeFile"
  std::string path;
  bool result;
};
const std::vector<FileCall>& FileCalls();
int CountFileCalls(const std::string& operation, const std::string& path);

// RunProgram calls. The program is taken from the command line as CreateProcess does (quoted,
// or the shortest space-separated prefix that names a file, ".exe" added when the name has no
// extension); a missing program answers false.
struct ProgramStart {
  int64_t time;
  std::string commandLine;
  bool wait;
  std::optional<int> showMode;   // as passed
  int showState;                 // the window show state it selects (SW_ value)
  bool result;
};
const std::vector<ProgramStart>& StartedPrograms();
void FailProgramStarts(int times = kAlways);   // answer false although the program exists

}  // namespace sim
