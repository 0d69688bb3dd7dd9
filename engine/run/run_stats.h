#pragma once

#include <cstdint>

namespace slimtag {

// The share of size_before that is gone, in percent (negative when the pages grew), computed as
// the message computes it: the bytes removed over a hundredth of the size before. size_before
// must not be 0.
inline double PercentRemoved(std::int64_t size_before, std::int64_t size_after) {
  return static_cast<double>(size_before - size_after) / (static_cast<double>(size_before) / 100.0);
}

// The figures of a run, or of several runs added up: the pages replaced and their sizes.
struct RunStats {
  std::int64_t FilesDone = 0;
  std::int64_t SizeBefore = 0;
  std::int64_t SizeAfter = 0;

  void AddPage(std::int64_t size_before, std::int64_t size_after) {
    ++FilesDone;
    SizeBefore += size_before;
    SizeAfter += size_after;
  }

  RunStats& operator+=(const RunStats& other) {
    FilesDone += other.FilesDone;
    SizeBefore += other.SizeBefore;
    SizeAfter += other.SizeAfter;
    return *this;
  }

  // A run whose pages held no byte, or that had none, reports "Файлы не выбраны! " rather than a
  // share of nothing; every front end asks here.
  bool NothingSelected() const { return SizeBefore == 0; }

  // Only where something was selected.
  double SavedPercent() const { return PercentRemoved(SizeBefore, SizeAfter); }

  friend bool operator==(const RunStats&, const RunStats&) = default;
};

}  // namespace slimtag
