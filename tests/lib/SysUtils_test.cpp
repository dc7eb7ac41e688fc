#include "lib/SysUtils.h"

#include <gtest/gtest.h>

TEST(IntConversion, Smoke) { EXPECT_EQ(dct::StrToInt("12"), 12); }
