#include "services/platform.h"
#include "window/events.h"
#include "window/window_description.h"

// Opened through the shell without a scheme: the shell takes a bare name for a web address
// only when it begins with "www." (any other bare name is looked up as a file).
#define TOVARA_PLUGIN_WEB_ADDRESS "www.tovara-plugin.net"
const char kPluginWebAddress[] = TOVARA_PLUGIN_WEB_ADDRESS;

#define TOVARA_PLUGIN_INFO_CAPTION \
  "插件版本：Tovara娱乐插件1.3.1版本(普通版)\r\nTovara论坛：" TOVARA_PLUGIN_WEB_ADDRESS

const WindowDescription kInstallerWindowDescription = {
    "Tovara插件安装程序", 281, 252, 0x000000, OnInstallerWindowCreated, OnInstallerWindowDestroying,
};

// Row order is creation order and stacking order: an earlier row covers a later one.
const ControlDescription kInstallerControls[kControlCount] = {
    {Control::InstallButton, "InstallButton", ControlKind::PushButton, 74, 152, 104, 32,
     "安装插件", true, true, {0, 400, nullptr}, kWhite, LabelLayout::OneLine, OnInstallButtonClick},
    {Control::StartHintLabel, "StartHintLabel", ControlKind::Label, 32, 96, 264, 56,
     "点击↓开始安装", true, false, {32, 400, nullptr}, kWhite, LabelLayout::OneLine, nullptr},
    {Control::PluginInfoLabel, "PluginInfoLabel", ControlKind::Label, 23, 194, 264, 32,
     TOVARA_PLUGIN_INFO_CAPTION, true, true, {0, 400, nullptr}, kGrey, LabelLayout::WordWrap,
     OnPluginInfoLabelMouseUp},
    {Control::ElapsedTimer, "ElapsedTimer", ControlKind::Timer, 0, 0, 0, 0,
     nullptr, false, false, {0, 0, nullptr}, 0, LabelLayout::OneLine, OnElapsedTimerTick},
    {Control::ElapsedUnit, "ElapsedUnit", ControlKind::Label, 120, 124, 80, 24,
     nullptr, true, true, {0, 400, nullptr}, kWhite, LabelLayout::OneLine, nullptr},
    {Control::ElapsedValue, "ElapsedValue", ControlKind::Label, 90, 124, 40, 24,
     nullptr, true, false, {12, 700, nullptr}, kCounterGreen, LabelLayout::OneLine, nullptr},
    {Control::ElapsedCaption, "ElapsedCaption", ControlKind::Label, 24, 124, 80, 24,
     nullptr, true, true, {0, 400, nullptr}, kWhite, LabelLayout::OneLine, nullptr},
    {Control::StatusLabel, "StatusLabel", ControlKind::Label, 48, 29, 224, 115,
     nullptr, true, false, {15, 400, "微软雅黑"}, kWhite, LabelLayout::WordWrap, nullptr},
    {Control::SpinnerLabel, "SpinnerLabel", ControlKind::Label, 8, 16, 56, 64,
     nullptr, true, false, {27, 400, nullptr}, kWhite, LabelLayout::OneLine, nullptr},
    {Control::SpinPauseTimer, "SpinPauseTimer", ControlKind::Timer, 0, 0, 0, 0,
     nullptr, false, false, {0, 0, nullptr}, 0, LabelLayout::OneLine, OnSpinPauseTimerTick},
    {Control::SpinTimer, "SpinTimer", ControlKind::Timer, 0, 0, 0, 0,
     nullptr, false, false, {0, 0, nullptr}, 0, LabelLayout::OneLine, OnSpinTimerTick},
};

const ControlDescription& DescriptionOf(Control control) {
  return kInstallerControls[static_cast<int>(control)];
}

void SetStatus(const char* text) { SetCaption(Control::StatusLabel, text); }

void SetCaption(Control control, const char* caption) {
  SetCaptionOf(WindowId::InstallerWindow, control, caption);
}

Text GetCaption(Control control) { return GetCaptionOf(WindowId::InstallerWindow, control); }

// A left-button release over the info label opens the plugin's web site; nothing else.
void OnPluginInfoLabelMouseUp() { OpenWebAddress(kPluginWebAddress); }
