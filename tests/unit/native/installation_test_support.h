#pragma once
// Shared by the installation scenario tests: a simulated host folder, the expected status
// sequences as (status, wait) tables, and their comparison with the recorded timeline.
//
// Expected times follow from the tables alone: the click happens at virtual time 0, a status
// is written at the current time, and a wait of ms lasts ms + 1 virtual milliseconds (a
// Delay ends at the first check at which strictly more than ms have passed).
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "payload/carried.h"
#include "sim/sim.h"
#include "sim/sim_files.h"

namespace installation_test {

const char kHost[] = "C:\\酷Q Pro";

inline std::string At(const std::string& relative) { return std::string(kHost) + relative; }

const char kConfigFolder[] = "\\config\\Tovara娱乐插件配置";
const char kConfigFile[] = "\\config\\Tovara娱乐插件配置\\插件配置.ini";
const char kFortuneFile[] = "\\config\\Tovara娱乐插件配置\\抽签数据.ini";
const char kTeaserFile[] = "\\config\\Tovara娱乐插件配置\\急转弯.ini";
const char kCardFile[] = "\\config\\Tovara娱乐插件配置\\名片.exe";
const char kPluginFile[] = "\\plugin\\Tovara娱乐插件1.3.1版本.cqp.dll";
const char kConsoleFile[] = "\\Tovara娱乐插件1.3.1版本控制台.exe";
const char kCoreFile[] = "\\tovarachajian2.dll";

// ---- Expected status sequences.

struct Step {
  std::string status;   // empty: a wait with no status of its own
  int wait;             // 0: no wait
};
using Steps = std::vector<Step>;

inline Steps operator+(Steps a, const Steps& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Stands for the elapsed-time message, whose number is the counter at that moment.
const char kSummary[] = "<summary>";

inline const Steps kStart = {{"正在初始化插件安装....", 2000}, {"检查是否有旧版本中....", 3000}};
inline const Steps kNoOldPluginFound = {{"没有找到旧版本插件，跳过此步.....", 1000}};

inline Steps ConsoleCheck(const Steps& scanMessages, const Steps& removal) {
  return Steps{{"", 2000}, {"检查是否有旧版本控制台中.....", 2000}} + scanMessages +
         Steps{{"", 2000}} + removal + Steps{{"", 1000}};
}
inline const Steps kNoConsoleRemoval = {{"检查完毕，没有发现控制台....", 0}};
inline Steps ConsoleRemoved(const std::string& relative, bool deleted) {
  return {{"", 2000},
          {"删除旧版本控制台中.....", 2000},
          {(deleted ? "已经删除旧版本控制台：" : "删除旧版本控制台失败，请手动删除旧版本控制台：") + At(relative), 0}};
}

inline const Steps kNoOldCore = {{"检查是否有旧版核心文件中...", 1000}, {"", 2000}};

inline Steps NoOldFiles() { return kStart + kNoOldPluginFound + ConsoleCheck({}, kNoConsoleRemoval) + kNoOldCore; }

inline Steps FolderQuery(bool created) {
  return {{"查询Tovara配置文件夹是否存在中.....", 1000},
          {created ? "文件夹不存在，已自动创建....." : "文件夹存在，自动跳过此步.....", 1000},
          {"", 1000}};
}

// The configuration file, missing, written after `failures` failed attempts (4: never).
inline Steps ConfigWritten(bool folderCreated, int failures = 0) {
  Steps s = Steps{{"检查配置文件是否存在中.....", 1000}, {"无法找到配置文件，即将写入配置文件", 1000}} +
            FolderQuery(folderCreated) + Steps{{"尝试写入配置文件中.....", 0}};
  const char* retries[] = {"尝试重新写入配置文件中(1)....", "尝试重新写入配置文件中(2)....",
                           "尝试重新写入配置文件中(3)...."};
  for (int k = 0; k < std::min(failures, 3); ++k)
    s = s + Steps{{"写入配置文件失败.....", 1000}, {retries[k], 1000}};
  if (failures >= 4) return s + Steps{{"尝试3次写入失败，跳过此步，请自行配置....", 1000}};
  return s + Steps{{"写入配置文件成功~....", 1000}};
}
inline const Steps kConfigFound = {{"检查配置文件是否存在中.....", 1000},
                                   {"找到配置文件，自动跳过写出配置文件", 1000}};

// The fortune data, missing, written after `failures` failed attempts (4: never).
inline Steps FortuneWritten(bool folderCreated, int failures = 0) {
  Steps s = Steps{{"检查抽签数据是否存在中.....", 1000}, {"没有找到抽签数据文件，即将写出抽签数据", 1000}} +
            FolderQuery(folderCreated) + Steps{{"尝试写入抽签数据中.....", 0}};
  const Steps notices[] = {{{"写入抽签数据失败.....", 1000}, {"尝试重新写入抽签数据中(1)....", 1000}},
                           {{"写出抽签数据失败.....", 1000}, {"尝试重新写出抽签数据中(2)....", 1000}},
                           {{"写出抽签数据失败.....", 1000}, {"尝试重新写出抽签数据中(3)....", 1000}}};
  for (int k = 0; k < std::min(failures, 3); ++k) s = s + notices[k];
  if (failures >= 4)
    s = s + Steps{{"尝试3次写出抽签数据失败，跳过此步，请自行配置（没有抽签数据，抽签功能将无法使用！）....", 1000}};
  else
    s = s + Steps{{"写出抽签数据成功~....", failures == 0 ? 0 : 1000}};
  return s + Steps{{"", 1000}};
}
inline const Steps kFortuneFound = {{"检查抽签数据是否存在中.....", 1000},
                                    {"抽签数据文件存在，自动跳过写出抽签数据", 1000},
                                    {"", 1000}};

inline Steps TeaserWritten(bool written = true) {
  Steps s = {{"检查脑筋急转弯数据是否存在....", 2000},
             {"没有找到急转弯文件，即将写入...", 1000},
             {"正准备写出脑筋急转弯数据中....", 1000},
             {"写出脑筋急转弯数据中....", 0}};
  for (int n = 1; n <= 1000; ++n) s.push_back({"正在写出第" + std::to_string(n) + "个【一共1000个】....", 10});
  s.push_back({written ? "写出脑筋急转弯数据完成！...."
                       : "写出脑筋急转弯数据失败，跳过此步，请自行配置（没有急转弯数据，急转弯功能将无法使用！）....",
               0});
  return s + Steps{{"", 1000}};
}
inline const Steps kTeaserFound = {{"检查脑筋急转弯数据是否存在....", 2000}, {"", 1000}};

inline const Steps kDataClosing = {{"配置文件检查完毕~....", 1000}, {"正在初始化写出主程序中....", 2000}};

inline Steps AllDataWritten() {
  return ConfigWritten(true) + FortuneWritten(false) + TeaserWritten() + kDataClosing;
}
inline Steps AllDataFound() { return kConfigFound + kFortuneFound + kTeaserFound + kDataClosing; }

inline const Steps kPayloadPreamble = {{"正在初始化需要的文件....", 2000},
                                       {"初始化完毕", 2000},
                                       {"写出文件到plugin中.....", 2000}};
inline const Steps kPluginWritten = {{"写出文件成功，已经成功写入到了相关文件夹里面", 1000}};
inline const Steps kPluginFailedThrice = {
    {"写出文件失败，正在尝试第二次写出", 1000},
    {"写出文件失败，正在尝试第三次分析", 1000},
    {"写出文件失败，无法写出该文件，请检查磁盘是否已满和是否可以读写，3秒后退出", 5000}};

inline Steps ConsoleWrite(int failures = 0) {
  Steps s = {{"正在写出控制台中....", 0}};
  const Steps notices[] = {{{"写出控制台失败，正在尝试第二次写出控制台", 1000}},
                           {{"写出控制台失败，正在尝试第三次写出", 1000}}};
  for (int k = 0; k < std::min(failures, 2); ++k) s = s + notices[k];
  if (failures >= 3)
    return s + Steps{{"写出控制台失败，无法写出该文件，请检查磁盘是否已满和是否可以读写", 1000}, {"", 1000}};
  return s + Steps{{"写出控制台成功，已经成功写入到了相关文件夹里面", 1000}};
}
inline const Steps kCardWrite = {{"正在准备写出核心文件中....", 0}, {"", 1000}};
inline Steps CoreWrite(int failures = 0) {
  Steps s = {{"正在写出核心文件中....", 1000}};
  const Steps notices[] = {{{"写出文件失败，正在尝试第二次分析", 1000}},
                           {{"写出文件失败，正在尝试第三次分析", 1000}}};
  for (int k = 0; k < std::min(failures, 2); ++k) s = s + notices[k];
  if (failures >= 3)
    return s + Steps{{"写出文件失败，无法写入该文件，请检查磁盘是否已满和是否可以读写", 1000}, {"", 1000}};
  return s + Steps{{"写出文件成功，已经成功写入到了相关文件夹里面", 1000}};
}
inline Steps Closing(bool allWritten) {
  return {{allWritten ? "写入所有文件已经完成！" : "部分文件写出失败，请检查磁盘后重新运行本程序！", 1000},
          {"Tovara仅做绿色、无毒软件", 3000},
          {"Tovara插件安装后在酷Q以外的任何文件夹不留任何文件。", 2000},
          {"正在做最后的配置,期间可能无响应.....", 4000},
          {kSummary, 3000},
          {"谢谢您使用Tovara插件，5秒后自动退出！", 6000}};
}
inline Steps AllPayloadsWritten() {
  return kPayloadPreamble + kPluginWritten + ConsoleWrite() + kCardWrite + CoreWrite() + Closing(true);
}

// The waits of a sequence in milliseconds, as the step lists count them.
inline int TotalWait(const Steps& steps) {
  int total = 0;
  for (const Step& step : steps) total += step.wait;
  return total;
}

// ---- Running a scenario.

// A host folder with CoolQ.exe and the host's own \plugin and \config folders, window shown.
inline void MakeHost(bool pluginFolder = true, bool configFolder = true) {
  sim::Reset(kHost);
  ASSERT_TRUE(sim::AddFile(At("\\CoolQ.exe"), "MZ host"));
  if (pluginFolder) {
    ASSERT_TRUE(sim::AddFolder(At("\\plugin")));
  }
  if (configFolder) {
    ASSERT_TRUE(sim::AddFolder(At("\\config")));
  }
  ASSERT_TRUE(sim::LoadInstallerWindow());
  ASSERT_EQ(sim::Now(), 0);
}

struct TimedText {
  int64_t time;
  std::string text;
  bool operator==(const TimedText& o) const { return time == o.time && text == o.text; }
};

// GBK as UTF-8, for readable failure messages.
inline std::string Readable(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return gbk;
  std::string out(gbk.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(gbk.data());
  size_t inLeft = gbk.size();
  char* o = &out[0];
  size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

inline void PrintTo(const TimedText& t, std::ostream* os) { *os << t.time << " " << Readable(t.text); }

// The status captions the steps should write, with their times, and the time the last wait
// ends. The elapsed-time message carries the whole seconds counted since the click.
struct ExpectedTimeline {
  std::vector<TimedText> statuses;
  int64_t end = 0;
  int64_t summaryAt = -1;
};

inline std::string SummaryText(const std::string& seconds) {
  return "酷Q机器人配置Tovara插件完毕，本次耗时：" + seconds + "S";
}

inline ExpectedTimeline Timed(const Steps& steps) {
  ExpectedTimeline e;
  int64_t t = 0;
  for (const Step& step : steps) {
    if (step.status == kSummary) {
      e.summaryAt = t;
      e.statuses.push_back({t, SummaryText(std::to_string(t / 1000))});
    } else if (!step.status.empty()) {
      e.statuses.push_back({t, step.status});
    }
    if (step.wait > 0) t += step.wait + 1;
  }
  e.end = t;
  return e;
}

inline std::vector<TimedText> Written(const std::string& control, const std::string& property) {
  std::vector<TimedText> out;
  for (const auto& r : sim::TimelineOf(control, property)) out.push_back({r.time, r.value});
  return out;
}

// The whole status sequence with its times, and the program's end at the end of the last
// wait. Reports the first difference readably.
inline ExpectedTimeline ExpectStatusTimeline(const Steps& steps) {
  ExpectedTimeline e = Timed(steps);
  std::vector<TimedText> actual = Written("StatusLabel", "caption");
  size_t i = 0;
  while (i < actual.size() && i < e.statuses.size() && actual[i] == e.statuses[i]) ++i;
  if (i < actual.size() || i < e.statuses.size()) {
    ADD_FAILURE() << "status " << i << " of " << e.statuses.size() << " expected, "
                  << actual.size() << " written\n  expected: "
                  << (i < e.statuses.size() ? ::testing::PrintToString(e.statuses[i]) : "(none)")
                  << "\n  actual:   "
                  << (i < actual.size() ? ::testing::PrintToString(actual[i]) : "(none)");
  }
  EXPECT_EQ(sim::Now(), e.end) << "the last wait";
  return e;
}

// ---- Files.

inline std::string Bytes(const ByteBlock& block) {
  return std::string(reinterpret_cast<const char*>(block.Data()), block.Size());
}

// A carried file as the build took it, before packing (TOVARA_ORIGINAL_<name>: its path).
inline std::string Original(const char* path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// 抽签数据.ini as it must be written: the carried text with every "[enter]" as CR LF.
inline std::string FortuneFileBytes() {
  std::string text = Original(TOVARA_ORIGINAL_FortuneText);
  std::string out;
  const std::string marker = "[enter]";
  size_t from = 0;
  for (size_t at; (at = text.find(marker, from)) != std::string::npos; from = at + marker.size())
    out += text.substr(from, at - from) + "\r\n";
  return out + text.substr(from);
}

inline void ExpectFile(const char* relative, const std::string& bytes) {
  auto actual = sim::FileBytes(At(relative));
  ASSERT_TRUE(actual.has_value()) << Readable(relative) << " missing";
  EXPECT_EQ(actual->size(), bytes.size()) << Readable(relative);
  EXPECT_TRUE(*actual == bytes) << Readable(relative) << " differs";
}

inline void ExpectNoFile(const char* relative) {
  EXPECT_FALSE(sim::FileBytes(At(relative)).has_value()) << Readable(relative) << " exists";
}

inline void ExpectDataFilesWritten() {
  ExpectFile(kConfigFile, Original(TOVARA_ORIGINAL_DefaultConfigText));
  ExpectFile(kFortuneFile, FortuneFileBytes());
  ExpectFile(kTeaserFile, Original(TOVARA_ORIGINAL_TeaserData));
}

inline void ExpectPayloadsWritten() {
  ExpectFile(kPluginFile, Original(TOVARA_ORIGINAL_PluginPayload));
  ExpectFile(kConsoleFile, Original(TOVARA_ORIGINAL_ConsolePayload));
  ExpectFile(kCardFile, Original(TOVARA_ORIGINAL_CardPayload));
  ExpectFile(kCoreFile, Original(TOVARA_ORIGINAL_CorePayload));
}

inline int Writes(const char* relative) { return sim::CountFileCalls("WriteWholeFile", At(relative)); }
inline int Deletions(const char* relative) { return sim::CountFileCalls("DeleteOneFile", At(relative)); }

// The console program started last, quoted, without waiting, in a normal window.
inline void ExpectConsoleStarted(int64_t at, bool found = true) {
  ASSERT_EQ(sim::StartedPrograms().size(), 1u);
  const auto& start = sim::StartedPrograms()[0];
  EXPECT_EQ(start.time, at);
  EXPECT_EQ(start.commandLine, "\"" + At(kConsoleFile) + "\"");
  EXPECT_FALSE(start.wait);
  EXPECT_FALSE(start.showMode.has_value());
  EXPECT_EQ(start.result, found);
}

}  // namespace installation_test
