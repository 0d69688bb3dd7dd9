#include "posix_platform.h"

namespace slimtag {

std::unique_ptr<Platform> MakeSystemPlatform() {
  return std::make_unique<PosixPlatform>();
}

}  // namespace slimtag
