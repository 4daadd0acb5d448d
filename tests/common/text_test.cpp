#include "common/strings.h"
#include "common/text.h"

#include <gtest/gtest.h>

TEST(PosText, Smoke) { EXPECT_EQ(PosText(L"b", L"abc"), 2); }
