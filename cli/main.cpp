#include <sys/ioctl.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "batch.h"
#include "run/platform.h"
#include "std_streams.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");  // the time of day that names a backup folder is the user's format
  // A reader that goes away (`slimtag-batch … | head -1`) must not kill the run between two pages:
  // the lost output is a write error, reported and exit 2, and the run ends as it would.
  std::signal(SIGPIPE, SIG_IGN);
  // Standard output gets only the final message or document (the filter writes its descriptor
  // itself): held whole until the end where it fits, so that a write that fails there is seen
  // with its reason rather than lost in the middle of a stream.
  // glibc takes a size only with a buffer.
  static char out_buffer[std::size_t(1) << 16];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
  const auto platform = slimtag::MakeSystemPlatform();
  slimtag::BatchIo io{std::cout, std::cerr};
  io.err_is_terminal = ::isatty(2) == 1;
  winsize size{};
  if (io.err_is_terminal && ::ioctl(2, TIOCGWINSZ, &size) == 0) io.terminal_width = size.ws_col;
  return slimtag::CloseStandardStreams(slimtag::RunBatch(argc, argv, io, *platform));
}
