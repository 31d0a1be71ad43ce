#include "services/fatal.h"
#include "services/text_ops.h"

Text FatalErrorReport(const char* message, int code) {
  Text codePart = code != 0 ? Concat({"错误代码：", ToText(static_cast<int32_t>(code)).c_str(), "\r\n\r\n"})
                            : Text();
  Text messagePart = TextLength(message) > 0 ? Concat({"错误信息：", message, "\r\n"}) : Text();
  return Concat({"运行时出错!\r\n\r\n", codePart.c_str(), messagePart.c_str()});
}
