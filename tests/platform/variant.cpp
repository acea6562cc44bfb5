#include "platform/variant.h"

#include <gtest/gtest.h>

TEST(Variant, VandrelBuildIsTheFullProgram) {
  EXPECT_FALSE(variant::kOlder);
  EXPECT_STREQ(variant::kProductTitle, "Vandrel");
}
