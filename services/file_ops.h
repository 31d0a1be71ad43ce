#pragma once
// The file-system and process services of the installer. Every failure of the platform shows
// only as a false result; no message is shown and no error code is kept.
#include <optional>

#include "services/text.h"

bool FileExists(const char* path);        // any entry counts, a folder too; empty path: false
bool CreateFolder(const char* path);      // the last level only; existing folder: false
bool DeleteOneFile(const char* path);

// Writes the blocks, in order, as the whole new content of path. The old content stays
// untouched (or the file stays absent) unless every byte was written.
bool WriteWholeFile(const char* path, const ByteBlock* blocks, int count);
inline bool WriteWholeFile(const char* path, const ByteBlock& block) {
  return WriteWholeFile(path, &block, 1);
}

// The temporary file of a whole-file write: "~tv<n>.tmp" in the target's folder, n from 1 to
// kWriteTempLast. Its name is never longer than the name of any file the installer writes,
// so its path is never longer than the target's (Windows' ANSI file functions refuse paths of
// MAX_PATH bytes or more). Files of exactly these names in the folder are ours, left by a run
// that was ended half way: they are removed before the next write into that folder.
constexpr int kWriteTempLast = 9;
constexpr char kWriteTempPattern[] = "~tv?.tmp";   // finds them (and may find other names)
Text WriteTempPath(const char* target, int n);
bool IsWriteTempName(const char* name);            // a file name without its folder
// name in the folder of target (target's path up to and with its last backslash).
Text BesideTarget(const char* target, const char* name);

// Starts commandLine (passed unchanged; the caller quotes paths). showMode 1..6, absent: 2.
bool RunProgram(const char* commandLine, bool wait, std::optional<int> showMode = std::nullopt);
