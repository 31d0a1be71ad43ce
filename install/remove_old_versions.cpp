// RemoveOldVersions: the files earlier releases left behind. Old plugin DLLs in the host's
// \plugin folder (release lines 1.0 to 1.3, last number 1 to 9, each with and without "版本"
// in its name), old console programs beside the host, and the old core DLL.
#include "install/installation.h"
#include "services/fatal.h"
#include "services/file_ops.h"
#include "services/platform.h"
#include "services/text_ops.h"
#include "window/installer_window.h"

namespace {

// One name form of an old plugin DLL and what the two passes say about it. The path is
// pathPrefix + N + pathSuffix. A form with no scanMessage is not looked for by the scan; a
// form with no announcement is not deleted. The deletion texts are prefix + N + suffix.
struct OldPluginForm {
  const char* pathPrefix;
  const char* pathSuffix;
  const char* scanMessage;
  const char* announcement;
  const char* announcementSuffix;
  bool announcedTwice;
  const char* retryNotices[2];
  const char* retrySuffix;
  const char* thirdNotice;
  const char* thirdSuffix;
};

const OldPluginForm kOldPluginForms[] = {
    {"\\plugin\\Tovara娱乐插件1.0.", "版本.cqp.dll", "找到旧版插件：Tovara娱乐插件1.0.",
     "删除旧版插件中：Tovara娱乐插件1.0.", "版本.cqp.dll", false,
     {"删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.0.", "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.0."},
     "版本.cqp.dll", "删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.0.", "版本.cqp.dll"},
    {"\\plugin\\Tovara娱乐插件1.0.", ".cqp.dll", "找到旧版插件：Tovara娱乐插件1.0.",
     "删除旧版插件：Tovara娱乐插件1.0.", ".cqp.dll", false,
     {"删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.0.", "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.0."},
     ".cqp.dll", "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.0.", ""},
    {"\\plugin\\Tovara娱乐插件1.1.", "版本.cqp.dll", "找到旧版插件：Tovara娱乐插件1.1.",
     "删除旧版插件：Tovara娱乐插件1.1.", "版本", false,
     {"删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.1.", "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.1."},
     "版本", "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.1.", ""},
    {"\\plugin\\Tovara娱乐插件1.1.", ".cqp.dll", "找到旧版插件：Tovara娱乐插件1.1.",
     "删除旧版插件：Tovara娱乐插件1.1.", "", false,
     {"删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.1.", "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.1."},
     "", "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.1.", ""},
    {"\\plugin\\Tovara娱乐插件1.2.", "版本.cqp.dll", "找到旧版插件：Tovara娱乐插件1.2.",
     "删除旧版插件：Tovara娱乐插件1.2.", "版本", true,
     {"删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.2.", "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.2."},
     "版本", "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.2.", ""},
    // Reported by the scan, never deleted.
    {"\\plugin\\Tovara娱乐插件1.2.", ".cqp.dll", "找到旧版插件：Tovara娱乐插件1.2.",
     nullptr, nullptr, false, {nullptr, nullptr}, nullptr, nullptr, nullptr},
    // Deleted without having been reported.
    {"\\plugin\\Tovara娱乐插件1.3.", "版本.cqp.dll", nullptr,
     "删除旧版插件：Tovara娱乐插件1.3.", "版本", true,
     {"删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.3.", "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.3."},
     "版本", "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.3.", "版本.cqp.dll"},
    {"\\plugin\\Tovara娱乐插件1.3.", ".cqp.dll", nullptr,
     "删除旧版插件：Tovara娱乐插件1.3.", "", false,
     {"删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.3.", "删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.3."},
     "", "3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.3.", ""},
};

Text PluginPath(const OldPluginForm& form, const char* n) {
  return HostPath(Concat({form.pathPrefix, n, form.pathSuffix}).c_str());
}

void ShowNumbered(const char* prefix, const char* n, const char* suffix, int32_t waitMs) {
  Text message = Concat({prefix, n, suffix});
  ShowStep(message.c_str(), waitMs);
}

// Reports the old plugin DLLs it finds; deletes nothing.
void ScanOldPlugins() {
  for (int32_t number = 1; number <= 9; ++number) {
    Text n = ToText(number);
    for (const OldPluginForm& form : kOldPluginForms) {
      if (!form.scanMessage) continue;
      if (FileExists(PluginPath(form, n.c_str()).c_str()))
        ShowNumbered(form.scanMessage, n.c_str(), form.pathSuffix, 1000);
    }
  }
  Text status = GetCaption(Control::StatusLabel);
  if (CompareText(status.c_str(), kCheckingForOldVersions) == 0)
    ShowStep("没有找到旧版本插件，跳过此步.....", 1000);
}

// Three attempts one second apart; a DLL that stays ends the installation.
void DeleteOldPlugin(const OldPluginForm& form, const char* n) {
  Text path = PluginPath(form, n);
  if (!FileExists(path.c_str())) return;
  ShowNumbered(form.announcement, n, form.announcementSuffix, 1000);
  if (form.announcedTwice) {
    if (!FileExists(path.c_str())) return;
    ShowNumbered(form.announcement, n, form.announcementSuffix, 1000);
  }
  const bool deleted = TryRepeatedly(
      3, [&] { return DeleteOneFile(path.c_str()); },
      [&](int k) { ShowNumbered(form.retryNotices[k - 1], n, form.retrySuffix, 1000); });
  if (deleted) return;
  ShowNumbered(form.thirdNotice, n, form.thirdSuffix, 1000);
  ShowStep("删除旧版插件失败，3秒后退此程序", 1000);
  ShowStep("请手动删除以前版本插件", 5000);
  EndProgram(0);
}

void DeleteOldPlugins() {
  for (int32_t number = 1; number <= 9; ++number) {
    Text n = ToText(number);
    for (const OldPluginForm& form : kOldPluginForms)
      if (form.announcement) DeleteOldPlugin(form, n.c_str());
  }
}

Text ConsolePath(const char* release, const char* n) {
  return HostPath(Concat({"\\Tovara娱乐插件", release, n, "版本控制台.exe"}).c_str());
}

// One attempt; a console that stays is reported and the installation goes on.
void RemoveOldConsole(const char* path) {
  Delay(2000);
  SetStatus("删除旧版本控制台中.....");
  Delay(2000);
  Text message = DeleteOneFile(path)
                     ? Concat({"已经删除旧版本控制台：", path})
                     : Concat({"删除旧版本控制台失败，请手动删除旧版本控制台：", path});
  SetStatus(message.c_str());
}

// Only 1.2 consoles are reported, all at once. At most one console is removed per run: for
// each number in turn the 1.2 console, else the 1.3 one, else the single 1.3.0 console, so a
// 1.3.0 console goes before any console numbered 2 or more.
void RemoveOldConsoles() {
  Delay(2000);
  ShowStep("检查是否有旧版本控制台中.....", 2000);
  for (int32_t number = 1; number <= 9; ++number) {
    Text n = ToText(number);
    Text path = ConsolePath("1.2.", n.c_str());
    if (FileExists(path.c_str())) {
      Text message = Concat({"检查到旧版本控制台：", path.c_str()});
      SetStatus(message.c_str());
    }
  }
  Delay(2000);
  for (int32_t number = 1; number <= 9; ++number) {
    Text n = ToText(number);
    Text console12 = ConsolePath("1.2.", n.c_str());
    if (FileExists(console12.c_str())) {
      RemoveOldConsole(console12.c_str());
      break;
    }
    Text console13 = ConsolePath("1.3.", n.c_str());
    Text console130 = ConsolePath("1.3.", "0");
    const bool found13 = FileExists(console13.c_str());
    if (found13 || FileExists(console130.c_str())) {
      RemoveOldConsole(found13 ? console13.c_str() : console130.c_str());
      break;
    }
    if (number == 9) SetStatus("检查完毕，没有发现控制台....");
  }
  Delay(1000);
}

// Four attempts, the last three 1.5 s after the previous failure; a DLL that stays ends the
// installation. The new core DLL is written under the same name later.
void RemoveOldCore() {
  static const char* const kRetryNotices[] = {"删除失败，正在重试(1)", "删除失败，正在重试(2)",
                                              "删除失败，正在重试(3)"};
  ShowStep("检查是否有旧版核心文件中...", 1000);
  Text path = HostPath("\\tovarachajian2.dll");
  if (FileExists(path.c_str())) {
    ShowStep("发现旧版核心文件，即将删除", 1000);
    const bool deleted = TryRepeatedly(
        4, [&] { return DeleteOneFile(path.c_str()); },
        [](int k) { ShowStep(kRetryNotices[k - 1], 1500); });
    if (!deleted) {
      ShowStep("删除失败，请手动删除后再启动本程序", 1000);
      EndProgram(0);
    }
    SetStatus("删除旧版核心文件成功！");
  }
  Delay(2000);
}

}  // namespace

void RemoveOldVersions() {
  ScanOldPlugins();
  DeleteOldPlugins();
  RemoveOldConsoles();
  RemoveOldCore();
}
