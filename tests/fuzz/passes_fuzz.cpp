// libFuzzer entry point: every line pass with every box ticked.

#include <cstdio>
#include <cstdlib>

#include "passes_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string fault = slimtag::testing::CheckPassesOn(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "%s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
