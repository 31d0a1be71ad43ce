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

// The temporary file of a whole-file write lies in the target's folder and is named after the
// target: "~" + a few hexadecimal digits of a hash of the target's file name + a slot digit n
// (1 to kWriteTempLast) + ".tmp", as long as the target's name but 8 bytes at least and 12 at
// most. So its path is never longer than the target's (Windows' ANSI file functions refuse
// paths of MAX_PATH bytes or more): the shortest name the installer writes, 名片.exe, has 8.
// A file of one of these names is a temporary file of that target, left by a run that was
// ended half way: it is removed before the next write of that target. No other file is ours.
constexpr int kWriteTempLast = 9;
Text WriteTempPath(const char* target, int n);
Text WriteTempPattern(const char* target);        // finds them (and may find other names)
bool IsWriteTempOf(const char* target, const char* name);   // name: a file name, no folder
// name in the folder of target (target's path up to and with its last backslash).
Text BesideTarget(const char* target, const char* name);

// Starts commandLine (passed unchanged; the caller quotes paths). showMode 1..6, absent: 2.
bool RunProgram(const char* commandLine, bool wait, std::optional<int> showMode = std::nullopt);
