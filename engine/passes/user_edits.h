#pragma once

#include "run_options.h"
#include "text/text_compare.h"

namespace slimtag {

// The user's find-and-replace pairs (Check12) and removal texts (Check13), in the page's
// encoding. A pair whose search text is empty is skipped; so is a pair or removal text whose
// search text the page's encoding cannot hold (it cannot occur in such a page). A replacement's
// characters that the encoding cannot hold are written as numeric character references
// ("&#127757;").
LinePass MakeUserReplacementPass(const UserTexts& texts, Encoding encoding);
LinePass MakeUserRemovalPass(const UserTexts& texts, Encoding encoding);

}  // namespace slimtag
