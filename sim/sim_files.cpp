// File operations and program starts of the simulated platform, over a real temporary folder
// that stands for HostDir.
#include "sim/sim_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "services/file_ops.h"
#include "sim/sim_internal.h"

namespace sim {
namespace {

enum class FaultKind { Delete, Write, WriteAfter, CreateFolder };

struct Fault {
  FaultKind kind;
  std::string key;
  int remaining;   // kAlways or attempts left
  int bytes;
};

struct FileState {
  std::string hostDir;
  std::string root;
  std::vector<Fault> faults;
  std::vector<FileCall> calls;
  std::vector<ProgramStart> programs;
  int failProgramStarts = 0;
};

FileState& F() {
  static FileState state;
  return state;
}

bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// ASCII letters folded to lower case; the second byte of a double-byte character kept.
std::string Fold(const std::string& s) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char b = out[i];
    if (IsLead(b) && i + 1 < out.size()) {
      ++i;
    } else if (b >= 'A' && b <= 'Z') {
      out[i] = static_cast<char>(b + 0x20);
    }
  }
  return out;
}

// Splits at backslashes that are characters of their own (never a 0x5C second byte).
std::vector<std::string> SplitPath(const std::string& s) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char b = s[i];
    if (IsLead(b) && i + 1 < s.size()) {
      parts.back() += s.substr(i, 2);
      ++i;
    } else if (b == '\\') {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(b);
    }
  }
  return parts;
}

bool HasWildcard(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char b = s[i];
    if (IsLead(b) && i + 1 < s.size()) ++i;
    else if (b == '*' || b == '?') return true;
  }
  return false;
}

// One character is one byte, or two for a double-byte character.
std::vector<std::string> Characters(const std::string& s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
      out.push_back(s.substr(i, 2));
      ++i;
    } else {
      out.push_back(s.substr(i, 1));
    }
  }
  return out;
}

bool MatchFrom(const std::vector<std::string>& p, size_t pi, const std::vector<std::string>& n,
               size_t ni) {
  if (pi == p.size()) return ni == n.size();
  if (p[pi] == "*") {
    for (size_t k = ni; k <= n.size(); ++k)
      if (MatchFrom(p, pi + 1, n, k)) return true;
    return false;
  }
  if (ni == n.size()) return false;
  if (p[pi] == "?" || p[pi] == n[ni]) return MatchFrom(p, pi + 1, n, ni + 1);
  return false;
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  std::string p = Fold(pattern);
  if (p.size() >= 3 && p.compare(p.size() - 3, 3, "*.*") == 0) p.resize(p.size() - 2);
  return MatchFrom(Characters(p), 0, Characters(Fold(name)), 0);
}

std::vector<std::string> ReadFolder(const std::string& real) {
  std::vector<std::string> names;
  DIR* dir = opendir(real.c_str());
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) names.push_back(entry->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

enum class Kind { Missing, File, Folder };

Kind KindOf(const std::string& real) {
  struct stat st;
  if (stat(real.c_str(), &st) != 0) return Kind::Missing;
  if (S_ISDIR(st.st_mode)) return Kind::Folder;
  return Kind::File;
}

// A Windows path resolved to the real folder: the real path of its parent and of itself.
struct Resolved {
  bool valid = false;        // inside HostDir, well formed
  std::string parent;        // real path of the parent folder ("" when it is missing)
  std::string real;          // real path of the entry (its name as found, or as given)
  std::string name;          // the last level, as given
};

// Names of the path below HostDir; false when the path is not inside HostDir or has an empty,
// "." or ".." level.
bool LevelsOf(const std::string& path, std::vector<std::string>* levels) {
  const std::string& host = F().hostDir;
  if (F().root.empty() || path.size() <= host.size() + 1) return false;
  if (Fold(path.substr(0, host.size())) != Fold(host) || path[host.size()] != '\\') return false;
  *levels = SplitPath(path.substr(host.size() + 1));
  for (const auto& level : *levels)
    if (level.empty() || level == "." || level == "..") return false;
  return true;
}

std::string FindName(const std::string& folder, const std::string& name) {
  std::string key = Fold(name);
  for (const auto& entry : ReadFolder(folder))
    if (entry != "." && entry != ".." && Fold(entry) == key) return entry;
  return "";
}

Resolved Resolve(const std::string& path, bool makeParents = false) {
  Resolved r;
  std::vector<std::string> levels;
  if (!LevelsOf(path, &levels)) return r;
  r.valid = true;
  r.name = levels.back();
  std::string folder = F().root;
  for (size_t i = 0; i + 1 < levels.size(); ++i) {
    std::string found = FindName(folder, levels[i]);
    if (found.empty()) {
      if (!makeParents || mkdir((folder + "/" + levels[i]).c_str(), 0755) != 0) return r;
      found = levels[i];
    }
    folder += "/" + found;
    if (KindOf(folder) != Kind::Folder) return r;
  }
  r.parent = folder;
  std::string found = HasWildcard(r.name) ? "" : FindName(folder, r.name);
  r.real = folder + "/" + (found.empty() ? r.name : found);
  return r;
}

// Consumes one attempt of a matching fault and answers it, or null.
const Fault* TakeFault(FaultKind kind, const std::string& path) {
  std::string key = Fold(path);
  for (auto& fault : F().faults) {
    if (fault.kind != kind || fault.key != key || fault.remaining == 0) continue;
    if (fault.remaining > 0) --fault.remaining;
    return &fault;
  }
  return nullptr;
}

void AddFault(FaultKind kind, const std::string& path, int times, int bytes) {
  F().faults.push_back({kind, Fold(path), times, bytes});
}

bool NoteCall(const char* operation, const char* path, bool result) {
  F().calls.push_back({Now(), operation, path ? path : "", result});
  return result;
}

void RemoveTree(const std::string& real) {
  if (KindOf(real) == Kind::Folder) {
    for (const auto& name : ReadFolder(real))
      if (name != "." && name != "..") RemoveTree(real + "/" + name);
    rmdir(real.c_str());
  } else {
    unlink(real.c_str());
  }
}

// Writes bytes to the file `temp` (which must not exist yet), then moves it over `real`.
bool WriteThrough(const std::string& temp, const std::string& real, const std::string& bytes) {
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = close(fd) == 0 && done == bytes.size();
  if (ok) ok = rename(temp.c_str(), real.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

// Test set-up writes: straight to the file, through a temporary name no rule looks at.
bool WriteRealFile(const std::string& real, const std::string& bytes) {
  return WriteThrough(real + ".sim-tmp", real, bytes);
}

// WriteWholeFile as the Win32 one does it, with the installer's own names: the target's stale
// temporary files in its folder are removed (other names left alone), then the bytes go
// through the first free temporary name of the target there.
bool WriteBeside(const std::string& path, const Resolved& target, const std::string& bytes) {
  for (const auto& name : ReadFolder(target.parent))
    if (IsWriteTempOf(path.c_str(), name.c_str()) &&
        KindOf(target.parent + "/" + name) == Kind::File)
      unlink((target.parent + "/" + name).c_str());
  for (int n = 1; n <= kWriteTempLast; ++n) {
    Resolved temp = Resolve(WriteTempPath(path.c_str(), n).c_str());
    if (!temp.valid || temp.parent != target.parent) return false;
    if (KindOf(temp.real) != Kind::Missing) continue;
    return WriteThrough(temp.real, target.real, bytes);
  }
  return false;
}

void ListUnder(const std::string& real, const std::string& windowsPath,
               std::vector<std::string>* out) {
  for (const auto& name : ReadFolder(real)) {
    if (name == "." || name == "..") continue;
    std::string childReal = real + "/" + name;
    std::string childPath = windowsPath + "\\" + name;
    if (KindOf(childReal) == Kind::Folder) {
      out->push_back(childPath + "\\");
      ListUnder(childReal, childPath, out);
    } else {
      out->push_back(childPath);
    }
  }
}

// The program a command line names, as CreateProcess looks for it.
bool ProgramExists(const std::string& commandLine) {
  std::vector<std::string> candidates;
  if (!commandLine.empty() && commandLine[0] == '"') {
    size_t end = commandLine.find('"', 1);
    candidates.push_back(commandLine.substr(1, end == std::string::npos ? end : end - 1));
  } else {
    for (size_t i = 0; i <= commandLine.size(); ++i)
      if (i == commandLine.size() || commandLine[i] == ' ')
        if (i > 0) candidates.push_back(commandLine.substr(0, i));
  }
  for (const auto& candidate : candidates) {
    std::vector<std::string> levels = SplitPath(candidate);
    std::vector<std::string> names{candidate};
    if (levels.back().find('.') == std::string::npos) names.push_back(candidate + ".exe");
    for (const auto& name : names) {
      Resolved r = Resolve(name);
      if (r.valid && !r.parent.empty() && KindOf(r.real) == Kind::File) return true;
    }
  }
  return false;
}

struct RootRemover {
  ~RootRemover() {
    if (!F().root.empty()) RemoveTree(F().root);
  }
} rootRemover;

}  // namespace

void ResetFiles(const std::string& hostDir) {
  FileState& f = F();
  if (!f.root.empty()) RemoveTree(f.root);
  f = FileState();
  f.hostDir = hostDir;
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tovara-sim-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  if (mkdtemp(buffer.data())) f.root = buffer.data();
}

void RefuseDeletion(const std::string& path, int times) {
  AddFault(FaultKind::Delete, path, times, 0);
}
void RefuseWriting(const std::string& path, int times) {
  AddFault(FaultKind::Write, path, times, 0);
}
void FailWritingAfter(const std::string& path, int bytes, int times) {
  AddFault(FaultKind::WriteAfter, path, times, bytes);
}
void RefuseFolderCreation(const std::string& path, int times) {
  AddFault(FaultKind::CreateFolder, path, times, 0);
}
void ClearFileFaults() { F().faults.clear(); }

bool AddFile(const std::string& path, const std::string& bytes) {
  Resolved r = Resolve(path, true);
  if (!r.valid || r.parent.empty() || HasWildcard(r.name)) return false;
  if (KindOf(r.real) == Kind::Folder) return false;
  return WriteRealFile(r.real, bytes);
}

bool AddFolder(const std::string& path) {
  Resolved r = Resolve(path, true);
  if (!r.valid || r.parent.empty() || HasWildcard(r.name)) return false;
  Kind kind = KindOf(r.real);
  if (kind == Kind::Folder) return true;
  return kind == Kind::Missing && mkdir(r.real.c_str(), 0755) == 0;
}

std::optional<std::string> FileBytes(const std::string& path) {
  Resolved r = Resolve(path);
  if (!r.valid || r.parent.empty() || KindOf(r.real) != Kind::File) return std::nullopt;
  FILE* file = std::fopen(r.real.c_str(), "rb");
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  std::fclose(file);
  return bytes;
}

std::vector<std::string> ListEntries() {
  std::vector<std::string> out;
  if (!F().root.empty()) ListUnder(F().root, F().hostDir, &out);
  std::sort(out.begin(), out.end());
  return out;
}

std::string FilesRoot() { return F().root; }

const std::vector<FileCall>& FileCalls() { return F().calls; }

int CountFileCalls(const std::string& operation, const std::string& path) {
  int n = 0;
  for (const auto& call : F().calls)
    if (call.operation == operation && Fold(call.path) == Fold(path)) ++n;
  return n;
}

const std::vector<ProgramStart>& StartedPrograms() { return F().programs; }
void FailProgramStarts(int times) { F().failProgramStarts = times; }

}  // namespace sim

using sim::Kind;

bool FileExists(const char* path) {
  std::string p = path ? path : "";
  sim::Resolved r = sim::Resolve(p);
  bool result = false;
  if (!sim::F().root.empty() && !p.empty() && sim::Fold(p) == sim::Fold(sim::F().hostDir)) {
    result = true;   // HostDir itself
  } else if (r.valid && !r.parent.empty()) {
    if (sim::HasWildcard(r.name)) {
      for (const auto& entry : sim::ReadFolder(r.parent))
        if (sim::WildcardMatch(r.name, entry)) result = true;
    } else {
      result = sim::KindOf(r.real) != Kind::Missing;
    }
  }
  return sim::NoteCall("FileExists", path, result);
}

bool CreateFolder(const char* path) {
  std::string p = path ? path : "";
  bool result = false;
  if (!sim::TakeFault(sim::FaultKind::CreateFolder, p)) {
    sim::Resolved r = sim::Resolve(p);
    result = r.valid && !r.parent.empty() && !sim::HasWildcard(r.name) &&
             sim::KindOf(r.real) == Kind::Missing && mkdir(r.real.c_str(), 0755) == 0;
  }
  return sim::NoteCall("CreateFolder", path, result);
}

bool DeleteOneFile(const char* path) {
  std::string p = path ? path : "";
  bool result = false;
  if (!sim::TakeFault(sim::FaultKind::Delete, p)) {
    sim::Resolved r = sim::Resolve(p);
    result = r.valid && !r.parent.empty() && !sim::HasWildcard(r.name) &&
             sim::KindOf(r.real) == Kind::File && unlink(r.real.c_str()) == 0;
  }
  return sim::NoteCall("DeleteOneFile", path, result);
}

bool WriteWholeFile(const char* path, const ByteBlock* blocks, int count) {
  std::string p = path ? path : "";
  std::string bytes;
  for (int i = 0; i < count; ++i)
    bytes.append(reinterpret_cast<const char*>(blocks[i].Data()), blocks[i].Size());
  bool result = false;
  bool refused = sim::TakeFault(sim::FaultKind::Write, p) != nullptr;
  const sim::Fault* cut = sim::TakeFault(sim::FaultKind::WriteAfter, p);
  if (cut && static_cast<int>(bytes.size()) > cut->bytes) refused = true;
  if (!refused) {
    sim::Resolved r = sim::Resolve(p);
    result = r.valid && !r.parent.empty() && !sim::HasWildcard(r.name) &&
             sim::KindOf(r.real) != Kind::Folder && sim::WriteBeside(p, r, bytes);
  }
  return sim::NoteCall("WriteWholeFile", path, result);
}

bool RunProgram(const char* commandLine, bool wait, std::optional<int> showMode) {
  static const int kStates[6] = {0, 1, 2, 3, 4, 6};
  int mode = showMode ? *showMode : 2;
  mode = std::min(6, std::max(1, mode));
  std::string line = commandLine ? commandLine : "";
  sim::FileState& f = sim::F();
  bool result = sim::ProgramExists(line);
  if (result && f.failProgramStarts != 0) {
    if (f.failProgramStarts > 0) --f.failProgramStarts;
    result = false;
  }
  f.programs.push_back({sim::Now(), line, wait, showMode, kStates[mode - 1], result});
  return result;
}
