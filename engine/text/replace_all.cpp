#include "replace_all.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace slimtag {

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

// The finished text of a repetition. A replacement shorter than its needle never lets the
// finished text outgrow the part of the line read so far, so it is kept in the line's own bytes,
// in front of what is still to be read; otherwise in a string of its own.
class Finished {
 public:
  Finished(std::string& line, bool in_place) : in_place_(in_place) {
    if (in_place_) {
      data_ = line.data();
    } else {
      own_.reserve(line.size());
    }
  }

  std::size_t Size() const { return in_place_ ? size_ : own_.size(); }
  std::string_view View() const {
    return in_place_ ? std::string_view(data_, size_) : std::string_view(own_);
  }
  void Append(std::string_view bytes) {
    if (!in_place_) {
      own_.append(bytes);
      return;
    }
    if (data_ + size_ != bytes.data()) std::memmove(data_ + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
  }
  void Push(char byte) {
    if (in_place_) {
      data_[size_++] = byte;
    } else {
      own_.push_back(byte);
    }
  }
  void Pop(std::size_t count) {
    if (in_place_) {
      size_ -= count;
    } else {
      own_.resize(own_.size() - count);
    }
  }
  // Makes the finished text the line.
  void MoveTo(std::string& line) {
    if (in_place_) {
      line.resize(size_);
    } else {
      line.swap(own_);
    }
  }

 private:
  bool in_place_;
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::string own_;
};

// The stack-based repetition; Run returns false when a bound was reached, which can happen only
// when the replacement is not shorter than the needle (the line is then left as it stood).
class Repetition {
 public:
  Repetition(std::string& line, const Pattern& pattern, std::string_view replacement)
      : line_(line),
        pattern_(pattern),
        repl_(replacement),
        n_(pattern.Size()),
        out_(line, replacement.size() < pattern.Size()) {
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
          out_.Append(line_.substr(in));
          return true;
        }
        out_.Append(line_.substr(in, next - in));
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
      out_.Push(byte);
      state = pattern_.Step(state, out_.View(), out_.Size() - 1);
      if (state == n_) {
        out_.Pop(n_);
        if (!Replaced(state)) return false;
      } else if (!known_.empty() && base_ + known_.size() == out_.Size()) {
        known_.push_back(state);
      } else {
        Restart(state);
      }
    }
  }

  void MoveResultTo(std::string& line) { out_.MoveTo(line); }

 private:
  // An occurrence has just been taken off the stack top: queue its replacement and find the
  // automaton's state after the stack.
  bool Replaced(Pattern::State& state) {
    if (!repl_.empty()) pending_.push_back(0);
    if (bounded_) {
      length_ += repl_.size() - n_;
      if (length_ > max_length_) return false;
    }
    const std::size_t top = out_.Size();
    if (top >= base_ && top - base_ < known_.size()) {
      known_.resize(top - base_ + 1);
      state = known_.back();
    } else {
      // Below the remembered states (a block was copied in between): the last n - 1 bytes tell.
      state = pattern_.StateAt(out_.View(), top);
      Restart(state);
    }
    return true;
  }

  void Restart(Pattern::State state) {
    known_.clear();
    base_ = out_.Size();
    known_.push_back(state);
  }

  std::string_view line_;  // the line as it stood; in place, only its unread part stays so
  const Pattern& pattern_;
  std::string_view repl_;
  std::size_t n_;
  Finished out_;
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
  repetition.MoveResultTo(line);
  return true;
}

bool ReplaceAll(std::string& line, std::string_view needle, std::string_view replacement,
                Encoding encoding) {
  if (needle.empty()) return false;
  return ReplaceAll(line, Pattern(needle, encoding), replacement);
}

}  // namespace slimtag
