#include "services/memory.h"

#include <cstdio>

#include "services/fatal.h"

void AllocationFailed(int count) {
  char message[64];
  std::snprintf(message, sizeof message, "分配 %d 字节内存失败!", count);
  FatalError(message, 0);
}
