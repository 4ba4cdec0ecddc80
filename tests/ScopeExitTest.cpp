// The one scope guard: its step runs on every way out of a scope, once, unless released.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/ScopeExit.h"

using namespace tess;

TEST(ScopeExit, RunsOnEveryWayOutUnlessReleased) {
  struct Case {
    const char* what;
    bool release;
    bool raise;
    int expectedRuns;
  } cases[] = {
      {"normal end", false, false, 1},
      {"an error escapes", false, true, 1},
      {"released", true, false, 0},
      {"released, then an error escapes", true, true, 0},
  };
  for (const auto& c : cases) {
    int runs = 0;
    try {
      ScopeExit guard([&] { ++runs; });
      if (c.release) guard.Release();
      if (c.raise) throw std::runtime_error("step failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(runs, c.expectedRuns) << c.what;
  }
}

TEST(ScopeExit, RestoreOnExitPutsBackTheGivenValueNotTheOldOne) {
  bool busy = false;
  {
    auto done = RestoreOnExit(busy, false);
    busy = true;
    EXPECT_TRUE(busy);
  }
  EXPECT_FALSE(busy);
  int depth = 5;
  try {
    auto restore = RestoreOnExit(depth, 2);
    depth = 9;
    throw std::runtime_error("step failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(depth, 2);
}
