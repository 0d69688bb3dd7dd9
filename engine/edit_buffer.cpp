#include "edit_buffer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace slimtag {

void EditBuffer::Select(std::size_t start, std::size_t length) {
  sel_start_ = std::min(start, text_.size());
  sel_length_ = std::min(length, text_.size() - sel_start_);
}

void EditBuffer::ReplaceSelection(std::string_view replacement) {
  text_.replace(sel_start_, sel_length_, replacement);
  sel_length_ = replacement.size();
}

std::size_t FindNoCase(std::string_view text, std::string_view needle, Encoding encoding) {
  if (needle.empty()) return 0;
  const std::size_t pos = Pattern(needle, encoding).Find(text);
  return pos == Pattern::npos ? 0 : pos + 1;
}

bool ReplaceAllOneSweep(std::string& line, const Pattern& pattern, std::string_view replacement) {
  std::size_t pos = pattern.Find(line);
  if (pos == Pattern::npos) return false;
  std::string out;
  out.reserve(line.size());
  std::size_t done = 0;
  while (pos != Pattern::npos) {
    out.append(line, done, pos - done);
    out.append(replacement);
    done = pos + pattern.Size();
    pos = pattern.Find(line, done);
  }
  out.append(line, done, std::string::npos);
  line.swap(out);
  return true;
}

namespace {

// The stack-based repetition; Run returns false when a bound was reached.
class Repetition {
 public:
  Repetition(std::string_view line, const Pattern& pattern, std::string_view replacement)
      : line_(line), pattern_(pattern), repl_(replacement), n_(pattern.Size()) {
    out_.reserve(line.size());
    if (replacement.size() >= n_) {
      bounded_ = true;
      length_ = line.size();
      max_length_ = line.size() * 9 + (std::size_t(1) << 20);
      work_left_ = line.size() * 64 + (std::size_t(64) << 20);
    }
  }

  bool Run(std::size_t next) {
    std::size_t in = 0;
    Pattern::State state = 0;  // the automaton's state after out_
    for (;;) {
      if (pending_.empty() && state == 0) {
        // No occurrence can reach back into the stack: copy up to the next one in one block.
        if (next == Pattern::npos || next < in) next = pattern_.Find(line_, in);
        if (next == Pattern::npos) {
          out_.append(line_, in, std::string_view::npos);
          return true;
        }
        out_.append(line_, in, next - in);
        in = next + n_;
        next = Pattern::npos;
        if (!Replaced(state)) return false;
        continue;
      }
      // Feed one byte: from the newest queued replacement, else from the line.
      char byte;
      if (!pending_.empty()) {
        if (bounded_ && work_left_-- == 0) return false;
        std::size_t& at = pending_.back();
        byte = repl_[at++];
        if (at == repl_.size()) pending_.pop_back();
      } else {
        if (in == line_.size()) return true;
        byte = line_[in++];
      }
      out_.push_back(byte);
      state = pattern_.Step(state, out_, out_.size() - 1);
      if (state == n_) {
        out_.resize(out_.size() - n_);
        if (!Replaced(state)) return false;
      } else if (!known_.empty() && base_ + known_.size() == out_.size()) {
        known_.push_back(state);
      } else {
        Restart(state);
      }
    }
  }

  std::string& Result() { return out_; }

 private:
  // An occurrence has just been taken off the stack top: queue its replacement and find the
  // automaton's state after the stack.
  bool Replaced(Pattern::State& state) {
    if (!repl_.empty()) pending_.push_back(0);
    if (bounded_) {
      length_ += repl_.size() - n_;
      if (length_ > max_length_) return false;
    }
    const std::size_t top = out_.size();
    if (top >= base_ && top - base_ < known_.size()) {
      known_.resize(top - base_ + 1);
      state = known_.back();
    } else {
      // Below the remembered states (a block was copied in between): the last n - 1 bytes tell.
      state = pattern_.StateAt(out_, top);
      Restart(state);
    }
    return true;
  }

  void Restart(Pattern::State state) {
    known_.clear();
    base_ = out_.size();
    known_.push_back(state);
  }

  std::string_view line_;
  const Pattern& pattern_;
  std::string_view repl_;
  std::size_t n_;
  std::string out_;
  std::vector<std::size_t> pending_;  // read positions in queued copies of the replacement
  // known_[k] is the state after out_[0, base_ + k), for the bytes pushed one at a time.
  std::vector<Pattern::State> known_;
  std::size_t base_ = 0;
  bool bounded_ = false;
  std::size_t length_ = 0;
  std::size_t max_length_ = 0;
  std::size_t work_left_ = 0;
};

}  // namespace

bool ReplaceAll(std::string& line, const Pattern& pattern, std::string_view replacement) {
  const std::size_t first = pattern.Find(line);
  if (first == Pattern::npos) return false;
  // A replacement that holds its needle would be replaced again forever.
  if (pattern.Find(replacement) != Pattern::npos)
    return ReplaceAllOneSweep(line, pattern, replacement);
  Repetition repetition(line, pattern, replacement);
  if (!repetition.Run(first)) return ReplaceAllOneSweep(line, pattern, replacement);
  line.swap(repetition.Result());
  return true;
}

bool ReplaceAll(std::string& line, std::string_view needle, std::string_view replacement,
                Encoding encoding) {
  if (needle.empty()) return false;
  return ReplaceAll(line, Pattern(needle, encoding), replacement);
}

}  // namespace slimtag
