#include <unistd.h>

#include <clocale>
#include <iostream>

#include "batch.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");  // the time of day that names a backup folder is the user's format
  slimtag::PosixPlatform platform;
  return slimtag::RunBatch(argc, argv, std::cout, std::cerr, platform, ::isatty(2) == 1);
}
