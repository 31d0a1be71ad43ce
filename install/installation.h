#pragma once
// The installation run by InstallButton: RunInstallation and its phases, in the order it runs
// them, and the few helpers the phases share. Every step shows a status and then waits; the
// waits are what the user watches, so they are part of the behaviour.
#include <cstdint>

#include "services/text.h"

// The start steps, then the three phases. Every path ends the program.
[[noreturn]] void RunInstallation();

// Removes the files of earlier releases; ends the program when one resists deletion.
void RemoveOldVersions();
// Writes the three data files that are missing from ConfigFolder; never ends the program.
void PrepareDataFiles();
// Writes the four carried programs, reports, starts the console and ends the program.
[[noreturn]] void WritePayloadsAndFinish();

// ConfigFolder, relative to HostDir: the plugin's data files and the card program live here.
extern const char kConfigFolder[];

// The status the start steps leave up while the scan for old plugin DLLs runs; the scan reads
// it back to tell whether it reported anything.
extern const char kCheckingForOldVersions[];

// HostDir followed by a relative path that begins with a backslash.
Text HostPath(const char* relative);

// Shows status, then waits waitMs (no wait when 0).
void ShowStep(const char* status, int32_t waitMs);

// Calls attempt() up to `attempts` times until it succeeds; after failed attempt k (k below
// `attempts`) calls afterFailure(k) before trying again. Answers whether an attempt succeeded.
template <typename Attempt, typename AfterFailure>
bool TryRepeatedly(int attempts, Attempt attempt, AfterFailure afterFailure) {
  for (int k = 1;; ++k) {
    if (attempt()) return true;
    if (k >= attempts) return false;
    afterFailure(k);
  }
}
