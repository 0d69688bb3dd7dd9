#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace slimtag::testing {

// Runs one fuzz input through every line pass with every box ticked. The input holds up to nine
// user texts and then the line, separated by zero bytes: find 1, replace 1, find 2, replace 2,
// find 3, replace 3, remove 1, remove 2, remove 3. Without user texts, the line also goes through
// the run's reader and output as a page of lines. Returns an empty text when all is well, else
// what went wrong.
std::string CheckPassesOn(const std::uint8_t* data, std::size_t size);

}  // namespace slimtag::testing
