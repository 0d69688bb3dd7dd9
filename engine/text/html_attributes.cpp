#include "html_attributes.h"

namespace slimtag {

bool IsHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool ReadHtmlAttributes(std::string_view text,
                        const std::function<bool(const HtmlAttribute&)>& visit) {
  const std::size_t n = text.size();
  std::size_t pos = 0;
  while (true) {
    while (pos < n && (IsHtmlSpace(text[pos]) || text[pos] == '/')) ++pos;
    if (pos == n) return true;
    // A name runs to a blank, "/" or "="; a leading "=" belongs to the name.
    const std::size_t name_start = pos++;
    while (pos < n && !IsHtmlSpace(text[pos]) && text[pos] != '/' && text[pos] != '=') ++pos;
    HtmlAttribute attribute{text.substr(name_start, pos - name_start), {}};
    std::size_t after_name = pos;
    while (after_name < n && IsHtmlSpace(text[after_name])) ++after_name;
    if (after_name < n && text[after_name] == '=') {
      pos = after_name + 1;
      while (pos < n && IsHtmlSpace(text[pos])) ++pos;
      const char quote = pos < n ? text[pos] : '\0';
      if (quote == '"' || quote == '\'') {
        const std::size_t close = text.find(quote, pos + 1);
        if (close == std::string_view::npos) return false;
        attribute.value = text.substr(pos + 1, close - pos - 1);
        pos = close + 1;
      } else {
        const std::size_t start = pos;
        while (pos < n && !IsHtmlSpace(text[pos])) ++pos;
        attribute.value = text.substr(start, pos - start);
      }
    }
    if (!visit(attribute)) return true;
  }
}

}  // namespace slimtag
