#include "text_compare.h"

#include <gtest/gtest.h>

TEST(TextCompare, Placeholder) { EXPECT_TRUE(slimtag::IsValidUtf8("abc")); }
