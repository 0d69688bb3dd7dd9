#include "utf16.h"

#include <algorithm>

#include "text/text_compare.h"

namespace slimtag {

namespace {

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUnit(char16_t unit, ByteOrder order, std::string& out) {
  const auto low = static_cast<char>(unit & 0xFF);
  const auto high = static_cast<char>(unit >> 8);
  if (order == ByteOrder::kLittle) {
    out.push_back(low);
    out.push_back(high);
  } else {
    out.push_back(high);
    out.push_back(low);
  }
}

constexpr char32_t kReplacement = 0xFFFD;

bool IsHigh(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLow(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::optional<ByteOrder> Utf16Mark(std::string_view first_bytes) {
  if (first_bytes.size() < 2) return std::nullopt;
  const auto a = static_cast<unsigned char>(first_bytes[0]);
  const auto b = static_cast<unsigned char>(first_bytes[1]);
  if (a == 0xFF && b == 0xFE) return ByteOrder::kLittle;
  if (a == 0xFE && b == 0xFF) return ByteOrder::kBig;
  return std::nullopt;
}

void Utf16Decoder::Feed(std::string_view block, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(block.data());
  std::size_t i = 0;
  const auto unit_of = [this](unsigned char first, unsigned char second) {
    return order_ == ByteOrder::kLittle ? char16_t(first | (second << 8))
                                        : char16_t((first << 8) | second);
  };
  while (i < block.size()) {
    char16_t unit;
    if (carry_size_ == 1) {
      unit = unit_of(carry_, p[i]);
      carry_size_ = 0;
      i += 1;
    } else if (i + 1 < block.size()) {
      unit = unit_of(p[i], p[i + 1]);
      i += 2;
    } else {
      carry_ = p[i];
      carry_size_ = 1;
      break;
    }
    if (high_ != 0) {
      if (IsLow(unit)) {
        AppendUtf8(0x10000 + ((char32_t(high_) - 0xD800) << 10) + (unit - 0xDC00), out);
        high_ = 0;
        continue;
      }
      AppendUtf8(kReplacement, out);
      valid_ = false;
      high_ = 0;
    }
    if (IsHigh(unit)) {
      high_ = unit;
    } else if (IsLow(unit)) {
      AppendUtf8(kReplacement, out);
      valid_ = false;
    } else {
      AppendUtf8(unit, out);
    }
  }
}

void AppendUtf16(std::string_view utf8, ByteOrder order, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = Utf8Length(utf8, i);
    if (length == 0) {  // not UTF-8: the passes never make such bytes; kept visible all the same
      AppendUnit(char16_t(kReplacement), order, out);
      ++i;
      continue;
    }
    char32_t cp = p[i] & (0x7F >> (length == 1 ? 0 : length));
    for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
    i += length;
    if (cp < 0x10000) {
      AppendUnit(char16_t(cp), order, out);
    } else {
      AppendUnit(char16_t(0xD800 + ((cp - 0x10000) >> 10)), order, out);
      AppendUnit(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)), order, out);
    }
  }
}

std::size_t Utf16Source::Read(char* buffer, std::size_t size) {
  while (taken_ == decoded_.size()) {
    decoded_.clear();
    taken_ = 0;
    raw_.resize(LineReader::kBlockSize / 2);
    const std::size_t n = page_.Read(raw_.data(), raw_.size());
    if (n == 0) return 0;
    decoder_.Feed(std::string_view(raw_.data(), n), decoded_);
  }
  const std::size_t n = std::min(size, decoded_.size() - taken_);
  decoded_.copy(buffer, n, taken_);
  taken_ += n;
  return n;
}

void Utf16Sink::Write(std::string_view bytes) {
  encoded_.clear();
  AppendUtf16(bytes, order_, encoded_);
  page_.Write(encoded_);
}

void Utf16Sink::WriteLine(std::string_view line, std::string_view terminator) {
  encoded_.clear();
  AppendUtf16(line, order_, encoded_);
  AppendUtf16(terminator, order_, encoded_);
  page_.Write(encoded_);
}

}  // namespace slimtag
