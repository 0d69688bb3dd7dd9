#pragma once

// What the scanning passes include from outside engine/passes, for their AVX2 build: every header
// that one of them includes must be here (a test reads the built code for stray AVX2 outside
// slimtag::avx2).
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "html_attributes.h"
#include "pattern.h"
#include "replace_all.h"
#include "scanning_passes.h"
#include "text_compare.h"
