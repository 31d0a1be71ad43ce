#pragma once
// The handlers the window engine raises. Each lives with the code it belongs to.

void OnInstallerWindowCreated();      // host check and font set-up (install/host_check.cpp)
void OnInstallerWindowDestroying();   // font release (window/spinner.cpp)
void OnInstallButtonClick();          // the installation (install/installation.cpp)
void OnPluginInfoLabelMouseUp();      // opens the web site (window/installer_window_table.cpp)
void OnElapsedTimerTick();            // counter (window/elapsed_counter.cpp)
void OnSpinTimerTick();               // spinner (window/spinner.cpp)
void OnSpinPauseTimerTick();          // spinner pause (window/spinner.cpp)
