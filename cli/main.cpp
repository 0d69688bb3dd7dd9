#include <sys/ioctl.h>
#include <unistd.h>

#include <clocale>
#include <iostream>

#include "batch.h"
#include "std_streams.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");  // the time of day that names a backup folder is the user's format
  slimtag::PosixPlatform platform;
  slimtag::BatchIo io{std::cout, std::cerr};
  io.err_is_terminal = ::isatty(2) == 1;
  winsize size{};
  if (io.err_is_terminal && ::ioctl(2, TIOCGWINSZ, &size) == 0) io.terminal_width = size.ws_col;
  return slimtag::CloseStandardStreams(slimtag::RunBatch(argc, argv, io, platform));
}
