// Sizes designed and stored at 96 DPI, shown at a window's DPI.
#include <gtest/gtest.h>

#include "platform/Dpi.h"

using namespace tess;

TEST(Dpi, ScalesDesignSizesToTheWindowsDpi) {
  struct Case {
    int design, dpi, scaled;
  } cases[] = {
      {644, 96, 644}, {644, 120, 805}, {644, 144, 966}, {644, 192, 1288},
      {3, 120, 4},    // 3.75
      {13, 144, 20},  // 19.5 rounds up
      {-11, 144, -17},  // font heights are negative: rounded away from zero as well
      {200, 0, 200},  // no DPI known yet: the design size
  };
  for (const Case& c : cases) EXPECT_EQ(ScaleToDpi(c.design, c.dpi), c.scaled) << c.design << " at " << c.dpi;
}

TEST(Dpi, StoredSizesSurviveAShowingAtAnyDpi) {
  // A size stored at one scale, applied and stored again, must not creep.
  for (int dpi : {96, 120, 144, 168, 192, 240, 288})
    for (int design = 0; design <= 2000; ++design)
      ASSERT_EQ(UnscaleFromDpi(ScaleToDpi(design, dpi), dpi), design) << design << " at " << dpi;
  EXPECT_EQ(UnscaleFromDpi(966, 144), 644);
  EXPECT_EQ(RescaleDpi(330, 144, 96), 220);
  EXPECT_EQ(RescaleDpi(220, 96, 192), 440);
}
