// Where the rename dialog opens: over the main window first, then where it was left, and
// never on a monitor that is gone.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "rename/DialogPlacement.h"

using namespace tess;

TEST(DialogPlacement, FirstOverTheOwnerThenWhereItWasLeftAndNeverOffEveryMonitor) {
  const std::vector<ScreenRect> one = {{0, 0, 1024, 738}};                     // 1024 x 768 less the task bar
  const std::vector<ScreenRect> two = {{0, 0, 1920, 1040}, {1920, 0, 3840, 1040}};
  const ScreenRect main{190, 180, 834, 588};  // 644 x 408, centred on 1024 x 768
  struct Case {
    const char* what;
    std::optional<ScreenRect> stored;
    ScreenRect owner;
    std::vector<ScreenRect> areas;
    ScreenRect expected;
  };
  const Case cases[] = {
      {"nothing stored: centred over the main window", std::nullopt, main, one, {251, 249, 772, 519}},
      {"nothing stored, the owner half off the screen: kept whole on it", std::nullopt, {800, 500, 1444, 908}, one,
       {503, 468, 1024, 738}},
      {"nothing stored, the owner on the second monitor", std::nullopt, {2500, 300, 3144, 708}, two,
       {2561, 369, 3082, 639}},
      {"a stored placement is kept", ScreenRect{10, 20, 531, 290}, main, one, {10, 20, 531, 290}},
      {"a stored placement partly off the screen is kept", ScreenRect{900, 600, 1421, 870}, main, one,
       {900, 600, 1421, 870}},
      {"stored on a second monitor that is gone: moved onto the one there is", ScreenRect{2400, 200, 2921, 470},
       main, one, {503, 200, 1024, 470}},
      {"stored above every monitor", ScreenRect{100, -900, 621, -630}, main, two, {100, 0, 621, 270}},
      {"no monitor known: as asked", std::nullopt, main, {}, {251, 249, 772, 519}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PlaceDialog(c.stored, 521, 270, c.owner, c.areas), c.expected);
  }
}
