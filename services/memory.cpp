#include "services/memory.h"

#include <cstring>

#include "services/decimal.h"
#include "services/fatal.h"

void AllocationFailed(int count) {
  // Built in place: the heap has just failed.
  char message[64] = "分配 ";
  char* p = message + std::strlen(message);
  p += FormatInteger(count, p);
  std::strcpy(p, " 字节内存失败!");
  FatalError(message, 0);
}
