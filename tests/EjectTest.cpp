// The safe-removal sequence against scripted volume calls: which calls run in which order,
// the lock retries, and what each failure raises.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/Eject.h"
#include "platform/Text.h"
#include "support/FakeVolumes.h"

using namespace tess;
using tess::testing::FakeVolumes;

namespace {
using Calls = std::vector<std::string>;
}

TEST(EjectTest, RemovableDiskGoesThroughEveryStepToEjectAndClosesItsHandle) {
  FakeVolumes v;
  int releasedAt = -1;
  EXPECT_EQ(EjectVolume(v, u'E', [&] { releasedAt = static_cast<int>(v.calls.size()); }), EjectOutcome::Ejected);
  EXPECT_EQ(v.calls, (Calls{"type", "open", "lock", "dismount", "allow", "eject", "close"}));
  EXPECT_EQ(releasedAt, 2) << "the caller lets go of the drive after the open, before the first lock";
  EXPECT_EQ(v.typeRoot, u"E:\\");
  EXPECT_EQ(v.openedPath, u"\\\\.\\E:");
  EXPECT_EQ(v.openedAccess, GENERIC_READ_ | GENERIC_WRITE_);
  EXPECT_EQ(v.removalInput, std::vector<uint32_t>{0});
  EXPECT_EQ(v.sleeps, 0);
  EXPECT_EQ(v.openHandles, 0);
}

TEST(EjectTest, OnlyRemovableDisksAndOpticalDrivesAreOpened) {
  struct Case {
    unsigned type;
    bool opened;
    uint32_t access;
  } cases[] = {
      {DRIVE_REMOVABLE_, true, GENERIC_READ_ | GENERIC_WRITE_},
      {DRIVE_CDROM_, true, GENERIC_READ_},
      {DRIVE_FIXED_, false, 0},
      {DRIVE_REMOTE_, false, 0},
      {0, false, 0},
      {1, false, 0},
      {6, false, 0},
  };
  for (const Case& c : cases) {
    FakeVolumes v;
    v.driveType = c.type;
    bool released = false;
    EjectOutcome outcome = EjectVolume(v, u'F', [&] { released = true; });
    EXPECT_EQ(outcome, c.opened ? EjectOutcome::Ejected : EjectOutcome::NotEjectable) << c.type;
    EXPECT_EQ(released, c.opened) << "a drive that is not ejected is not let go of either: " << c.type;
    EXPECT_EQ(v.openedAccess, c.access) << c.type;
    if (!c.opened) EXPECT_EQ(v.calls, Calls{"type"}) << c.type;
  }
}

TEST(EjectTest, LockIsRetriedUpToTwentyTimesWithHalfSecondWaits) {
  {
    FakeVolumes v;
    v.lockFailures = 19;  // the 20th attempt succeeds
    EXPECT_EQ(EjectVolume(v, u'E'), EjectOutcome::Ejected);
    EXPECT_EQ(std::count(v.calls.begin(), v.calls.end(), "lock"), 20);
    EXPECT_EQ(v.sleeps, 19);
    EXPECT_EQ(v.sleptMs, 19u * 500u);
  }
  {
    FakeVolumes v;
    v.lockFailures = 1000;  // files open elsewhere the whole time
    EXPECT_EQ(EjectVolume(v, u'E'), EjectOutcome::LockFailed);
    EXPECT_EQ(std::count(v.calls.begin(), v.calls.end(), "lock"), 20);
    EXPECT_EQ(v.sleeps, 20) << "the wait follows every failed attempt, the last one too";
    EXPECT_EQ(v.calls.back(), "close");
    EXPECT_EQ(std::count(v.calls.begin(), v.calls.end(), "dismount"), 0);
    EXPECT_EQ(v.openHandles, 0);
  }
}

TEST(EjectTest, EachFailingCallRaisesTheSystemReasonNamingTheDriveAndStopsTheSequence) {
  struct Case {
    const char* name;
    uint32_t failingCode;  // 0: the open fails
    uint32_t error;
    Calls calls;
  } cases[] = {
      {"open", 0, 32, {"type", "open"}},
      {"dismount", FSCTL_DISMOUNT_VOLUME_, 5, {"type", "open", "lock", "dismount", "close"}},
      {"allow", IOCTL_STORAGE_MEDIA_REMOVAL_, 1, {"type", "open", "lock", "dismount", "allow", "close"}},
      {"eject", IOCTL_STORAGE_EJECT_MEDIA_, 21, {"type", "open", "lock", "dismount", "allow", "eject", "close"}},
  };
  for (const Case& c : cases) {
    FakeVolumes v;
    if (c.failingCode == 0) {
      v.openFails = true;
      v.openError = c.error;
    } else {
      v.failCodes[c.failingCode] = c.error;
    }
    try {
      EjectVolume(v, u'G');
      ADD_FAILURE() << c.name << ": no error raised";
    } catch (const EVolumeError& e) {
      EXPECT_EQ(e.Code(), c.error) << c.name;
      EXPECT_EQ(e.Letter(), u'G') << c.name;
      std::u16string expected = u"ドライブ G: を取り外せませんでした。\r\nsystem reason ";
      for (char ch : std::to_string(c.error)) expected += char16_t(ch);
      EXPECT_EQ(e.Text(), expected) << c.name;
      EXPECT_EQ(FromUtf8(e.what()), expected) << c.name;
    }
    EXPECT_EQ(v.calls, c.calls) << c.name;
    EXPECT_EQ(v.openHandles, 0) << c.name;
  }
}
