#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace slimtag {

// The branch of the per-user settings registry that a key lives in. The program only ever uses
// the current user's branch.
enum class RegistryRoot { kCurrentUser };

// The one key the program keeps its values under.
inline constexpr char kSettingsKey[] = "Software\\Velmora Soft\\Slimtag\\";

// The option boxes that survive between runs, in the order both the restore and the save visit
// them; box N is stored as "stN".
inline constexpr std::array kStoredBoxes = {1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 14};
inline constexpr char kAdValue[] = "ad";
inline constexpr char kRunValue[] = "run";
QString BoxValueName(int box);

// The named 32-bit number under the key; 0 when the key or value is missing or the value is not
// a 32-bit number. Never reports anything.
//
// On Windows the key is the registry key under HKEY_CURRENT_USER and only REG_DWORD values
// count. Elsewhere the key path names Qt's per-user store "Software\<organisation>\<application>"
// (on Linux $XDG_CONFIG_HOME/<organisation>/<application>.conf); that store keeps no types, so
// a value counts as a number when its text is a plain decimal integer in the 32-bit range.
std::int32_t ReadDwordValue(RegistryRoot root, QString key_path, QString value_name);

// Stores the number under the key, creating the key as needed. Failures are dropped silently.
void WriteDwordValue(RegistryRoot root, QString key_path, QString value_name, std::int32_t value);

}  // namespace slimtag
