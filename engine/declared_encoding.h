#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "text_compare.h"

namespace slimtag {

// How far into a page its declared encoding is looked for.
inline constexpr std::size_t kDeclarationWindow = 1024;

// The encoding that a page declares in its first kDeclarationWindow bytes, in
// <meta charset=…> or <meta http-equiv="Content-Type" content="…; charset=…">, letter case aside,
// the value quoted or not: UTF-8 ("utf-8", "utf8") or windows-1251 ("windows-1251", "cp1251",
// "x-cp1251"). The first meta tag that names a charset decides; a charset of any other name, no
// declaration, or a tag that does not close within the window gives nothing. Tags inside
// comments do not count.
std::optional<Encoding> DeclaredEncoding(std::string_view first_bytes);

}  // namespace slimtag
