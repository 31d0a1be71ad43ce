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

// Starts commandLine (passed unchanged; the caller quotes paths). showMode 1..6, absent: 2.
bool RunProgram(const char* commandLine, bool wait, std::optional<int> showMode = std::nullopt);
