// The window-created event: the spinner font, then the host check and the host shutdown,
// all before the window is first shown.
#include "services/fatal.h"
#include "services/file_ops.h"
#include "services/platform.h"
#include "services/text_ops.h"
#include "window/events.h"
#include "window/spinner.h"

static const char kHostMissingText[] =
    "无法找到酷Qpro相关文件，程序无法继续运行,请重新去官网下载最新完整版酷Q，或者您没有将本程序"
    "放置到酷Q的根目录下，提供以下解决方法：\r\n1、重新下载酷Qpro\r\n2、将本程序解压或移动到酷Q的"
    "主程序下(含有‘CoolQ.exe’的文件夹)";

// The installer only makes sense in the host's root folder, the one holding CoolQ.exe.
static void HostCheck() {
  Text dir = RunDirectory();
  Text hostExe = Concat({dir.c_str(), "\\CoolQ.exe"});
  if (!FileExists(hostExe.c_str())) {
    ShowMessageBox(kHostMissingText, 16, "错误提示");
    EndProgram(0);
  }
}

// The plugin's files can only be replaced while the host is not running.
static void HostShutdown() {
  if (TerminateProcessByName("CoolQ.exe", false))
    ShowMessageBox("检测到酷Q正在运行中，已经自动关闭（插件安装需要结束酷Q）", 48, "关闭进程提示");
}

void OnInstallerWindowCreated() {
  PrepareSpinnerFont();
  HostCheck();
  HostShutdown();
}
