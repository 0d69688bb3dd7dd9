#include "progress_line.h"

#include <chrono>

namespace slimtag {

namespace {

constexpr const char* kEraseLine = "\r\033[K";

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t CodePoints(const std::string& text) {
  std::size_t n = 0;
  for (char c : text) n += IsContinuationByte(c) ? 0 : 1;
  return n;
}

// The last `keep` characters of text, never cut inside a UTF-8 sequence.
std::string Tail(const std::string& text, std::size_t keep) {
  std::size_t count = 0;
  std::size_t pos = text.size();
  while (pos > 0 && count < keep) {
    --pos;
    if (!IsContinuationByte(text[pos])) ++count;
  }
  return text.substr(pos);
}

}  // namespace

std::int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

ProgressLine::ProgressLine(std::ostream& err, bool enabled, Clock now, int width)
    : err_(err), enabled_(enabled), now_(std::move(now)), width_(width) {}

std::string ProgressLine::Text() const {
  std::string head = "Обработано " + std::to_string(done_) + " из " + std::to_string(total_) +
                     ", " + std::to_string(bytes_) + " байт: ";
  // The last column stays free: a terminal wraps a line that fills it.
  if (width_ > 0) {
    const std::size_t room = std::size_t(width_) - 1;
    const std::size_t used = CodePoints(head);
    if (used + CodePoints(page_) > room) {
      if (used + 1 >= room) return Tail(head + page_, room);
      return head + "…" + Tail(page_, room - used - 1);
    }
  }
  return head + page_;
}

void ProgressLine::Draw() {
  if (!enabled_) return;
  const std::int64_t now = now_();
  if (drawn_once_ && now - last_draw_ < kRedrawInterval) return;
  drawn_once_ = true;
  last_draw_ = now;
  err_ << kEraseLine << Text() << std::flush;
  shown_ = true;
}

void ProgressLine::StartPage(const std::string& name) {
  page_ = name;
  Draw();
}

void ProgressLine::FinishPage(std::int64_t size_before) {
  ++done_;
  bytes_ += size_before;
}

void ProgressLine::PrintLine(const std::string& text) {
  if (shown_) err_ << kEraseLine;
  shown_ = false;
  err_ << text << "\n";
  // The display comes back with the next page, within the redraw limit.
}

void ProgressLine::Erase() {
  if (shown_) err_ << kEraseLine << std::flush;
  shown_ = false;
}

}  // namespace slimtag
