#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/number.h"

using namespace quill;

TEST(StoreRule, NonFiniteResultsBecomeZeroAndEverythingElseStays) {
    const double zero = 0.0;
    EXPECT_EQ(Store(zero / zero), 0.0);
    EXPECT_EQ(Store(1.0 / zero), 0.0);
    EXPECT_EQ(Store(-1.0 / zero), 0.0);
    const double subnormal = std::numeric_limits<double>::denorm_min();
    EXPECT_EQ(Store(subnormal), subnormal);
    EXPECT_EQ(Store(-1e308), -1e308);
    EXPECT_TRUE(std::signbit(Store(-0.0)));
}

TEST(Truth, BandOfOneHundredThousandth) {
    EXPECT_FALSE(IsTrue(0.000009));
    EXPECT_FALSE(IsTrue(-0.000009));
    EXPECT_TRUE(IsTrue(0.00001));
    EXPECT_TRUE(IsTrue(-0.00001));
    EXPECT_FALSE(IsTrue(std::nan("")));
    EXPECT_TRUE(Equal(1.000005, 1.0));
    EXPECT_FALSE(Equal(1.0, 1.0 + 0.00002));
    EXPECT_FALSE(Equal(std::nan(""), std::nan("")));
}

TEST(ToIndex, RoundsWithinTheNudgeThenTruncates) {
    EXPECT_EQ(ToIndex(2.99995), 3);
    EXPECT_EQ(ToIndex(2.9998), 2);
    EXPECT_EQ(ToIndex(-2.99995), -3);
    EXPECT_EQ(ToIndex(-0.99995), -1);
    EXPECT_EQ(ToIndex(-0.00005), 0);
    EXPECT_EQ(ToIndex(0.5), 0);
}

TEST(ToIndex, ValuesWithoutAnIntegerFormSaturate) {
    EXPECT_EQ(ToIndex(std::nan("")), 0);
    EXPECT_EQ(ToIndex(1e300), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ToIndex(-INFINITY), std::numeric_limits<std::int32_t>::min());
}

TEST(Loop, BodyRunsFirstAndTheLimitStopsAnEndlessLoop) {
    int runs = 0;
    EXPECT_EQ(RunLoop([&] { return ++runs, 0.0; }), 1);
    EXPECT_EQ(runs, 1);
    runs = 0;
    EXPECT_EQ(RunLoop([&] { return ++runs, 1.0; }), 1000000);
    EXPECT_EQ(runs, 1000000);
    runs = 0;
    RunLoop([&] { return ++runs < 5 ? 1.0 : 0.0; });
    EXPECT_EQ(runs, 5);
}
