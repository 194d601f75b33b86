#include "engine/version.h"

#include <gtest/gtest.h>

namespace {
uint32_t Ms(uint32_t major, uint32_t minor) { return major << 16 | minor; }
}  // namespace

TEST(VersionNumber, HundredTimesMajorPlusMinor) {
  EXPECT_EQ(VersionNumber(Ms(2, 0)), 200u);
  EXPECT_EQ(VersionNumber(Ms(3, 1)), 301u);
  EXPECT_EQ(VersionNumber(Ms(1, 20)), 120u);
  EXPECT_EQ(VersionNumber(Ms(11, 99)), 1199u);
}

TEST(VersionNumber, MissingFixedVersionCountsAsVeryNew) {
  EXPECT_EQ(VersionNumber(0xFFFFFFFFu), 6619035u);
}

TEST(EngineGate, VersionsBelowTenWrapRoundAndPass) {
  EXPECT_TRUE(PassesEngineGate(VersionNumber(Ms(2, 0))));
  EXPECT_TRUE(PassesEngineGate(VersionNumber(Ms(1, 20))));
  EXPECT_TRUE(PassesEngineGate(0));
  EXPECT_TRUE(PassesEngineGate(999));
  EXPECT_EQ(EngineGateNumber(200), 4294966496u);
}

TEST(EngineGate, VersionsTenToElevenNinetyNineAreRefused) {
  EXPECT_FALSE(PassesEngineGate(1000));
  EXPECT_FALSE(PassesEngineGate(VersionNumber(Ms(10, 0))));
  EXPECT_FALSE(PassesEngineGate(VersionNumber(Ms(10, 5))));
  EXPECT_FALSE(PassesEngineGate(VersionNumber(Ms(11, 99))));
}

TEST(EngineGate, VersionTwelveAndAbovePass) {
  EXPECT_TRUE(PassesEngineGate(VersionNumber(Ms(12, 0))));
  EXPECT_TRUE(PassesEngineGate(VersionNumber(0xFFFFFFFFu)));
}
