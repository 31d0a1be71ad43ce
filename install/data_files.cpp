// PrepareDataFiles: the plugin's three data files in ConfigFolder. A file that is there is
// never read or replaced (the user may have edited it); a missing one is written from the
// carried content. Nothing in this phase ends the installation.
#include "install/installation.h"
#include "payload/carried.h"
#include "services/file_ops.h"
#include "services/platform.h"
#include "services/text_ops.h"
#include "window/installer_window.h"

namespace {

struct Step {
  const char* status;
  int32_t waitMs;
};

// An INI file written in up to four attempts, each failure followed by two notices.
struct DataFile {
  const char* name;                  // in ConfigFolder
  bool (*content)(ByteBlock* file);  // made anew for every attempt; false: no intact content
  const char* checking;
  const char* found;
  const char* missing;
  const char* writing;
  Step afterFailure[3][2];           // after failed attempt 1, 2, 3
  const char* givenUp;
  const char* written;
  int32_t writtenWaitAtFirstAttempt;
  int32_t closingWait;               // after every path, the found file's too
};

// The carried fortune text marks its line breaks with "[enter]"; the file has CR LF.
bool FortuneFileContent(ByteBlock* file) {
  ByteBlock carried;
  if (!UnpackFortuneText(&carried)) return false;
  Text marked = CarriedText(carried);
  Text lines = ReplaceAll(marked.c_str(), "[enter]", "\r\n");
  *file = ToBytes(lines.c_str());
  return true;
}

const DataFile kConfigFile = {
    "\\插件配置.ini",
    UnpackDefaultConfigText,
    "检查配置文件是否存在中.....",
    "找到配置文件，自动跳过写出配置文件",
    "无法找到配置文件，即将写入配置文件",
    "尝试写入配置文件中.....",
    {{{"写入配置文件失败.....", 1000}, {"尝试重新写入配置文件中(1)....", 1000}},
     {{"写入配置文件失败.....", 1000}, {"尝试重新写入配置文件中(2)....", 1000}},
     {{"写入配置文件失败.....", 1000}, {"尝试重新写入配置文件中(3)....", 1000}}},
    "尝试3次写入失败，跳过此步，请自行配置....",
    "写入配置文件成功~....",
    1000,
    0,
};

const DataFile kFortuneFile = {
    "\\抽签数据.ini",
    FortuneFileContent,
    "检查抽签数据是否存在中.....",
    "抽签数据文件存在，自动跳过写出抽签数据",
    "没有找到抽签数据文件，即将写出抽签数据",
    "尝试写入抽签数据中.....",
    {{{"写入抽签数据失败.....", 1000}, {"尝试重新写入抽签数据中(1)....", 1000}},
     {{"写出抽签数据失败.....", 1000}, {"尝试重新写出抽签数据中(2)....", 1000}},
     {{"写出抽签数据失败.....", 1000}, {"尝试重新写出抽签数据中(3)....", 1000}}},
    "尝试3次写出抽签数据失败，跳过此步，请自行配置（没有抽签数据，抽签功能将无法使用！）....",
    "写出抽签数据成功~....",
    0,
    1000,
};

Text ConfigFolderPath(const char* name) {
  return HostPath(Concat({kConfigFolder, name}).c_str());
}

// Only the last level is created: the host's own \config folder must be there already.
void EnsureConfigFolder() {
  ShowStep("查询Tovara配置文件夹是否存在中.....", 1000);
  Text folder = HostPath(kConfigFolder);
  if (CreateFolder(folder.c_str()))
    SetStatus("文件夹不存在，已自动创建.....");
  else
    SetStatus("文件夹存在，自动跳过此步.....");
  Delay(1000);
  Delay(1000);
}

void PrepareDataFile(const DataFile& file) {
  ShowStep(file.checking, 1000);
  Text path = ConfigFolderPath(file.name);
  if (FileExists(path.c_str())) {
    ShowStep(file.found, 1000);
  } else {
    ShowStep(file.missing, 1000);
    EnsureConfigFolder();
    SetStatus(file.writing);
    int attempt = 0;
    const bool written = TryRepeatedly(
        4,
        [&] {
          ++attempt;
          ByteBlock content;
          return file.content(&content) && WriteWholeFile(path.c_str(), content);
        },
        [&](int k) {
          for (const Step& step : file.afterFailure[k - 1]) ShowStep(step.status, step.waitMs);
        });
    if (written)
      ShowStep(file.written, attempt == 1 ? file.writtenWaitAtFirstAttempt : 1000);
    else
      ShowStep(file.givenUp, 1000);
  }
  if (file.closingWait > 0) Delay(file.closingWait);
}

// Written in one piece after a count that only shows progress. The folder was made by the
// two files before.
void PrepareTeaserFile() {
  ShowStep("检查脑筋急转弯数据是否存在....", 2000);
  Text path = ConfigFolderPath("\\急转弯.ini");
  if (!FileExists(path.c_str())) {
    ShowStep("没有找到急转弯文件，即将写入...", 1000);
    ShowStep("正准备写出脑筋急转弯数据中....", 1000);
    SetStatus("写出脑筋急转弯数据中....");
    for (int32_t number = 1; number <= 1000; ++number) {
      Text n = ToText(number);
      Text count = Concat({"正在写出第", n.c_str(), "个【一共1000个】...."});
      ShowStep(count.c_str(), 10);
    }
    ByteBlock teasers;
    if (UnpackTeaserData(&teasers) && WriteWholeFile(path.c_str(), teasers))
      SetStatus("写出脑筋急转弯数据完成！....");
    else
      SetStatus("写出脑筋急转弯数据失败，跳过此步，请自行配置（没有急转弯数据，急转弯功能将无法使用！）....");
  }
  Delay(1000);
}

}  // namespace

void PrepareDataFiles() {
  PrepareDataFile(kConfigFile);
  PrepareDataFile(kFortuneFile);
  PrepareTeaserFile();
  ShowStep("配置文件检查完毕~....", 1000);
  ShowStep("正在初始化写出主程序中....", 2000);
}
