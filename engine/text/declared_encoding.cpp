#include "declared_encoding.h"

#include <algorithm>

#include <string>

#include "html_attributes.h"

namespace slimtag {

namespace {

// A charset's name as pages write it, and how the page is then read: in that encoding, or (none)
// not at all, as its text is not ASCII-compatible. A prefix row names every charset it begins.
struct CharsetName {
  std::string_view name;
  std::optional<Encoding> encoding;
  bool prefix = false;
};

// The names browsers take for each encoding; exact names before prefixes.
constexpr CharsetName kCharsetNames[] = {
    {"utf-8", Encoding::Utf8},
    {"utf8", Encoding::Utf8},
    {"unicode-1-1-utf-8", Encoding::Utf8},
    {"windows-1251", Encoding::Windows1251},
    {"cp1251", Encoding::Windows1251},
    {"x-cp1251", Encoding::Windows1251},
    {"koi8-r", Encoding::Koi8R},
    {"koi8_r", Encoding::Koi8R},
    {"koi8", Encoding::Koi8R},
    {"koi", Encoding::Koi8R},
    {"cskoi8r", Encoding::Koi8R},
    {"koi8-u", Encoding::Koi8U},
    {"koi8-ru", Encoding::Koi8U},
    {"iso-8859-5", Encoding::Iso8859_5},
    {"iso8859-5", Encoding::Iso8859_5},
    {"iso88595", Encoding::Iso8859_5},
    {"iso_8859-5", Encoding::Iso8859_5},
    {"iso_8859-5:1988", Encoding::Iso8859_5},
    {"iso-ir-144", Encoding::Iso8859_5},
    {"cyrillic", Encoding::Iso8859_5},
    {"csisolatincyrillic", Encoding::Iso8859_5},
    {"ibm866", Encoding::Ibm866},
    {"cp866", Encoding::Ibm866},
    {"866", Encoding::Ibm866},
    {"csibm866", Encoding::Ibm866},
    {"x-mac-cyrillic", Encoding::MacCyrillic},
    {"x-mac-ukrainian", Encoding::MacCyrillic},
    {"unicode", std::nullopt},
    {"unicodefeff", std::nullopt},
    {"unicodefffe", std::nullopt},
    {"csunicode", std::nullopt},
    {"iso-10646-ucs-2", std::nullopt},
    {"utf-16", std::nullopt, true},
    {"utf-32", std::nullopt, true},
    {"ucs-2", std::nullopt, true},
    {"ucs-4", std::nullopt, true},
    {"utf-7", std::nullopt, true},
    {"iso-2022-", std::nullopt, true},
    {"csiso2022", std::nullopt, true},
};

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsHtmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsHtmlSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The first place of needle in text at or after from, letter case aside (the needles are ASCII).
std::size_t FindAsciiNoCase(std::string_view text, std::string_view needle, std::size_t from = 0) {
  for (std::size_t pos = from; pos + needle.size() <= text.size(); ++pos) {
    if (EqualAsciiNoCase(text.substr(pos, needle.size()), needle)) return pos;
  }
  return std::string_view::npos;
}

// The attributes of one tag (the text between its name and its ">"), as HTML reads them.
class Attributes {
 public:
  explicit Attributes(std::string_view text) : text_(text) {}

  // The value of the first attribute of this name, letter case aside; nothing when it has none.
  std::optional<std::string_view> Value(std::string_view wanted) const {
    std::optional<std::string_view> value;
    ReadHtmlAttributes(text_, [&](const HtmlAttribute& attribute) {
      if (EqualAsciiNoCase(attribute.name, wanted)) value = attribute.value;
      return !value;
    });
    return value;
  }

 private:
  std::string_view text_;
};

// The charset that the content of a Content-Type declaration names: "charset=" and its value,
// which ends at ";" or a blank and may be quoted.
std::optional<std::string_view> CharsetOfContent(std::string_view content) {
  std::size_t pos = FindAsciiNoCase(content, "charset");
  while (pos != std::string_view::npos) {
    std::size_t at = pos + 7;
    while (at < content.size() && IsHtmlSpace(content[at])) ++at;
    if (at < content.size() && content[at] == '=') {
      ++at;
      while (at < content.size() && IsHtmlSpace(content[at])) ++at;
      if (at < content.size() && (content[at] == '"' || content[at] == '\'')) {
        const char quote = content[at++];
        const std::size_t close = content.find(quote, at);
        if (close == std::string_view::npos) return std::nullopt;
        return content.substr(at, close - at);
      }
      std::size_t end = at;
      while (end < content.size() && content[end] != ';' && !IsHtmlSpace(content[end])) ++end;
      return content.substr(at, end - at);
    }
    pos = FindAsciiNoCase(content, "charset", pos + 1);
  }
  return std::nullopt;
}

// The charset that one meta tag's attributes declare, if any.
std::optional<std::string_view> DeclaredCharset(const Attributes& attributes) {
  if (const auto charset = attributes.Value("charset")) return charset;
  const auto http_equiv = attributes.Value("http-equiv");
  if (!http_equiv || !EqualAsciiNoCase(Trimmed(*http_equiv), "content-type")) return std::nullopt;
  const auto content = attributes.Value("content");
  if (!content) return std::nullopt;
  return CharsetOfContent(*content);
}

}  // namespace

std::optional<Declaration> DeclaredEncoding(std::string_view first_bytes) {
  const std::string_view text = first_bytes.substr(0, kDeclarationWindow);
  constexpr std::string_view kMeta = "<meta";
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t comment = text.find("<!--", pos);
    const std::size_t meta = FindAsciiNoCase(text, kMeta, pos);
    if (meta == std::string_view::npos) return std::nullopt;
    if (comment < meta) {
      const std::size_t end = text.find("-->", comment + 4);
      if (end == std::string_view::npos) return std::nullopt;
      pos = end + 3;
      continue;
    }
    const std::size_t after = meta + kMeta.size();
    pos = after;
    // "<metadata" is another tag.
    if (after < text.size() && !IsHtmlSpace(text[after]) && text[after] != '/') continue;
    const std::size_t close = text.find('>', after);
    if (close == std::string_view::npos) return std::nullopt;
    pos = close + 1;
    const auto charset = DeclaredCharset(Attributes(text.substr(after, close - after)));
    if (!charset) continue;
    const std::string_view name = Trimmed(*charset);
    for (const CharsetName& known : kCharsetNames) {
      const std::string_view part = known.prefix ? name.substr(0, known.name.size()) : name;
      if (EqualAsciiNoCase(part, known.name)) return Declaration{known.encoding};
    }
    return std::nullopt;
  }
  return std::nullopt;
}

void EncodingGuess::Decide() {
  head_done_ = true;
  declared_ = DeclaredEncoding(head_);
  if (!declared_) validator_.Feed(head_);
  head_ = std::string();
}

void EncodingGuess::Feed(std::string_view block) {
  if (Decided()) return;
  if (!head_done_) {
    const std::size_t take = std::min(block.size(), kDeclarationWindow - head_.size());
    head_.append(block.substr(0, take));
    block.remove_prefix(take);
    if (head_.size() < kDeclarationWindow) return;
    Decide();
    if (Decided()) return;
  }
  validator_.Feed(block);
}

Encoding EncodingGuess::Result() {
  if (!head_done_) Decide();
  if (declared_) return declared_->encoding.value_or(Encoding::Utf8);
  return validator_.Valid() ? Encoding::Utf8 : Encoding::Windows1251;
}

Encoding GuessEncoding(std::string_view whole_page) {
  EncodingGuess guess;
  guess.Feed(whole_page);
  return guess.Result();
}

}  // namespace slimtag
