#include "space_entity.h"

#include "text/replace_all.h"

namespace slimtag {

namespace {

// The fixed needles are ASCII and compare the same in both encodings.
const Pattern& SpaceEntity() {
  static const Pattern pattern(kSpaceEntity.needle, Encoding::Utf8);
  return pattern;
}

}  // namespace

// ReplaceAll keeps the removed text off a stack as it goes, so "&&nbsp;nbsp;" and a line of a
// million entities both cost one sweep.
void RemoveSpaceEntities(std::string& line) {
  ReplaceAll(line, SpaceEntity(), kSpaceEntity.replacement);
}

}  // namespace slimtag
