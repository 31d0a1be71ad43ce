// WritePayloadsAndFinish: the four programs the installer carries are written over whatever
// is at their destinations, the run is summed up, the new console is started and the
// installer ends. Only a plugin DLL that cannot be written stops the installation.
#include "install/installation.h"
#include "payload/carried.h"
#include "services/fatal.h"
#include "services/file_ops.h"
#include "services/platform.h"
#include "services/text_ops.h"
#include "window/installer_window.h"

namespace {

const char kConsoleProgram[] = "\\Tovara娱乐插件1.3.1版本控制台.exe";

// A payload written in up to three attempts one second apart. Each attempt unpacks the
// carried program anew; one that cannot be unpacked intact is a failed attempt.
struct PayloadWrite {
  bool (*unpack)(ByteBlock* file);
  const char* destination;           // relative to HostDir
  const char* announcement;
  int32_t announcementWaitMs;
  const char* retryNotices[2];       // after failed attempt 1, 2
  const char* failure;
  bool failureEndsInstallation;
  const char* written;
};

const PayloadWrite kPluginWrite = {
    UnpackPluginPayload,
    "\\plugin\\Tovara娱乐插件1.3.1版本.cqp.dll",
    "写出文件到plugin中.....",
    2000,
    {"写出文件失败，正在尝试第二次写出", "写出文件失败，正在尝试第三次分析"},
    "写出文件失败，无法写出该文件，请检查磁盘是否已满和是否可以读写，3秒后退出",
    true,
    "写出文件成功，已经成功写入到了相关文件夹里面",
};

const PayloadWrite kConsoleWrite = {
    UnpackConsolePayload,
    kConsoleProgram,
    "正在写出控制台中....",
    0,
    {"写出控制台失败，正在尝试第二次写出控制台", "写出控制台失败，正在尝试第三次写出"},
    "写出控制台失败，无法写出该文件，请检查磁盘是否已满和是否可以读写",
    false,
    "写出控制台成功，已经成功写入到了相关文件夹里面",
};

const PayloadWrite kCoreWrite = {
    UnpackCorePayload,
    "\\tovarachajian2.dll",
    "正在写出核心文件中....",
    1000,
    {"写出文件失败，正在尝试第二次分析", "写出文件失败，正在尝试第三次分析"},
    "写出文件失败，无法写入该文件，请检查磁盘是否已满和是否可以读写",
    false,
    "写出文件成功，已经成功写入到了相关文件夹里面",
};

bool WritePayload(const PayloadWrite& write) {
  ShowStep(write.announcement, write.announcementWaitMs);
  Text path = HostPath(write.destination);
  const bool written = TryRepeatedly(
      3,
      [&] {
        ByteBlock payload;
        return write.unpack(&payload) && WriteWholeFile(path.c_str(), payload);
      },
      [&](int k) { ShowStep(write.retryNotices[k - 1], 1000); });
  if (written) {
    ShowStep(write.written, 1000);
    return true;
  }
  if (write.failureEndsInstallation) {
    ShowStep(write.failure, 5000);
    EndProgram(0);
  }
  ShowStep(write.failure, 1000);
  Delay(1000);
  return false;
}

// The card program replaces any old one in one attempt; it reports nothing of its own.
bool WriteCardProgram() {
  SetStatus("正在准备写出核心文件中....");
  Text path = HostPath(Concat({kConfigFolder, "\\名片.exe"}).c_str());
  DeleteOneFile(path.c_str());
  ByteBlock card;
  const bool written = UnpackCardPayload(&card) && WriteWholeFile(path.c_str(), card);
  Delay(1000);
  return written;
}

void ShowClosingMessages(bool allWritten) {
  ShowStep(allWritten ? "写入所有文件已经完成！" : "部分文件写出失败，请检查磁盘后重新运行本程序！",
           1000);
  ShowStep("Tovara仅做绿色、无毒软件", 3000);
  ShowStep("Tovara插件安装后在酷Q以外的任何文件夹不留任何文件。", 2000);
  // A visible pause; nothing is configured.
  SetStatus("正在做最后的配置,期间可能无响应.....");
  SetMousePointer(kPointerWait);
  Delay(4000);
  SetMousePointer(kPointerDefault);
}

// The counter's caption as shown is the time reported.
[[noreturn]] void Finish() {
  Text seconds = GetCaption(Control::ElapsedValue);
  Text summary = Concat({"酷Q机器人配置Tovara插件完毕，本次耗时：", seconds.c_str(), "S"});
  SetStatus(summary.c_str());
  SetInterval(Control::ElapsedTimer, 0);
  Delay(3000);
  ShowStep("谢谢您使用Tovara插件，5秒后自动退出！", 6000);
  // Quoted: a host folder with a space in its path must not start another program.
  Text console = HostPath(kConsoleProgram);
  Text commandLine = Concat({"\"", console.c_str(), "\""});
  RunProgram(commandLine.c_str(), false);
  SetInterval(Control::ElapsedTimer, 0);
  SetInterval(Control::SpinTimer, 0);
  EndProgram(0);
}

}  // namespace

void WritePayloadsAndFinish() {
  ShowStep("正在初始化需要的文件....", 2000);
  ShowStep("初始化完毕", 2000);
  WritePayload(kPluginWrite);
  const bool consoleWritten = WritePayload(kConsoleWrite);
  const bool cardWritten = WriteCardProgram();
  const bool coreWritten = WritePayload(kCoreWrite);
  ShowClosingMessages(consoleWritten && cardWritten && coreWritten);
  Finish();
}
