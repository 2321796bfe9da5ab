// The platform layer's POSIX side: no keyboard of its own, faults on standard error.
#include <cstdio>

#include "platform.h"

namespace lodex {

int32_t DefaultEscapeProbe() { return 0; }

void ShowSystemFaultMessage(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

}  // namespace lodex
