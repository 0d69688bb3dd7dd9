// registry_probe read NAME | registry_probe write NAME NUMBER, on the program's own key.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "registry.h"

int main(int argc, char** argv) {
  using namespace slimtag;
  if (argc == 3 && std::strcmp(argv[1], "read") == 0) {
    std::printf("%d\n", static_cast<int>(ReadDwordValue(RegistryRoot::kCurrentUser, kSettingsKey,
                                                        QString::fromUtf8(argv[2]))));
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "write") == 0) {
    WriteDwordValue(RegistryRoot::kCurrentUser, kSettingsKey, QString::fromUtf8(argv[2]),
                    static_cast<std::int32_t>(std::strtol(argv[3], nullptr, 10)));
    return 0;
  }
  return 64;
}
