
#include "services/decimal.h"
#include "services/fatal.h"
#include "services/frame_state.h"

namespace {

// Appends whole characters of `part` while they fit, keeping the terminating zero.
void Append(FatalReport& report, int& length, const char* part) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(part ? part : "");
  const int room = static_cast<int>(sizeof report.text) - 1;
  for (int i = 0; p[i] != 0;) {
    const int size = (IsLeadByte(p[i]) && p[i + 1] != 0) ? 2 : 1;
    if (length + size > room) break;
    for (int k = 0; k < size; ++k) report.text[length++] = static_cast<char>(p[i + k]);
    i += size;
  }
  report.text[length] = 0;
}

}  // namespace

FatalReport FatalErrorReport(const char* message, int code) {
  FatalReport report;
  int length = 0;
  Append(report, length, "运行时出错!\r\n\r\n");
  if (code != 0) {
    char number[12];
    FormatInteger(code, number);
    Append(report, length, "错误代码：");
    Append(report, length, number);
    Append(report, length, "\r\n\r\n");
  }
  if (message && message[0] != 0) {
    Append(report, length, "错误信息：");
    Append(report, length, message);
    Append(report, length, "\r\n");
  }
  return report;
}
