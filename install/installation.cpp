// The click on InstallButton: the installation runs inside the click event and never returns
// to the window. The button stays disabled, so the script runs at most once per run.
#include "install/installation.h"

#include "services/platform.h"
#include "services/text_ops.h"
#include "window/events.h"
#include "window/installer_window.h"

const char kConfigFolder[] = "\\config\\Tovara娱乐插件配置";
const char kCheckingForOldVersions[] = "检查是否有旧版本中....";

Text HostPath(const char* relative) {
  Text hostDir = RunDirectory();
  return Concat({hostDir.c_str(), relative});
}

void ShowStep(const char* status, int32_t waitMs) {
  SetStatus(status);
  if (waitMs > 0) Delay(waitMs);
}

// The hint goes, the counter and the spinner start.
static void StartProgressDisplay() {
  SetVisible(Control::StartHintLabel, false);
  SetCaption(Control::ElapsedCaption, "已用时间：");
  SetCaption(Control::ElapsedValue, "0");
  SetInterval(Control::ElapsedTimer, 1000);
  SetInterval(Control::SpinTimer, 30);
  SetCaption(Control::ElapsedUnit, "S");
  ShowStep("正在初始化插件安装....", 2000);
  ShowStep(kCheckingForOldVersions, 3000);
}

void RunInstallation() {
  StartProgressDisplay();
  RemoveOldVersions();
  PrepareDataFiles();
  WritePayloadsAndFinish();
}

void OnInstallButtonClick() {
  SetDisabled(Control::InstallButton, true);
  RunInstallation();
}
