#include "name_quoting.h"

#include "text/text_compare.h"

namespace slimtag {

namespace {

// Bytes of the character at name[pos] that a terminal shows as text; 0 when it is a control
// character (C0, DEL or C1) or no valid UTF-8.
std::size_t PrintableLength(std::string_view name, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(name[pos]);
  if (lead < 0x20 || lead == 0x7F) return 0;
  const std::size_t length = Utf8Length(name, pos);
  // U+0080 to U+009F: the C1 controls, CSI among them.
  if (length == 2 && lead == 0xC2 && static_cast<unsigned char>(name[pos + 1]) < 0xA0) return 0;
  return length;
}

void AppendEscape(std::string& out, unsigned char byte) {
  switch (byte) {
    case '\a':
      out += "\\a";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    case '\v':
      out += "\\v";
      return;
    default:
      out += '\\';
      out += static_cast<char>('0' + (byte >> 6));
      out += static_cast<char>('0' + ((byte >> 3) & 7));
      out += static_cast<char>('0' + (byte & 7));
  }
}

}  // namespace

std::string QuotedForTerminal(std::string_view name) {
  bool plain = true;
  for (std::size_t pos = 0; plain && pos < name.size();) {
    const std::size_t length = PrintableLength(name, pos);
    plain = length != 0;
    pos += length;
  }
  if (plain) return std::string(name);
  std::string out = "'";
  bool ends_with_escape = false;
  for (std::size_t pos = 0; pos < name.size();) {
    if (const std::size_t length = PrintableLength(name, pos)) {
      if (name[pos] == '\'') {
        out += "'\\''";
      } else {
        out.append(name, pos, length);
      }
      pos += length;
      ends_with_escape = false;
      continue;
    }
    // A control character or a byte of no valid character: out of the quotes, as an ANSI-C
    // quoted escape, the bytes of a C1 character each.
    const std::size_t length = Utf8Length(name, pos) == 2 ? 2 : 1;
    out += "'$'";
    for (std::size_t i = 0; i < length; ++i) {
      AppendEscape(out, static_cast<unsigned char>(name[pos + i]));
    }
    out += "''";
    pos += length;
    ends_with_escape = true;
  }
  // A name that ends with an escape would end with an empty pair of quotes.
  if (ends_with_escape) {
    out.pop_back();
  } else {
    out += "'";
  }
  return out;
}

}  // namespace slimtag
