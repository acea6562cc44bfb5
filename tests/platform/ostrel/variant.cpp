#include "platform/variant.h"

#include <gtest/gtest.h>

TEST(Variant, OstrelBuildIsTheOlderVariant) {
  EXPECT_TRUE(variant::kOlder);
  EXPECT_STREQ(variant::kProductTitle, "Ostrel");
}
