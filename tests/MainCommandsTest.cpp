// The main window's decisions: where a command goes, the button states event by event, the
// pop-up menu a right click opens, and the folder browse dialog's rules.
#include <gtest/gtest.h>

#include "app/MainCommands.h"
#include "platform/BrowseFolder.h"

using namespace tess;

TEST(MainCommands, TheListIsAskedFirst) {
  EXPECT_EQ(CommandTarget(true, false), Pane::List);
  EXPECT_EQ(CommandTarget(false, true), Pane::Tree);
  EXPECT_EQ(CommandTarget(true, true), Pane::List);
  EXPECT_EQ(CommandTarget(false, false), Pane::None);
}

TEST(MainCommands, ButtonStatesEventByEvent) {
  ButtonStates all{true, true, true, true, true, true, true};
  ButtonStates none{};
  PaneFacts atRoot{0, false, true, false, u"C:\\", u"C:\\"};
  PaneFacts below{2, false, true, false, u"C:\\a\\", u"C:\\"};
  PaneFacts editing{1, true, true, true, u"C:\\a\\", u"C:\\"};
  PaneFacts one{1, false, false, false, u"C:\\a\\", u"C:\\"};
  //                  back   rename copy   paste  delete new    refresh
  struct Case {
    ButtonStates before;
    ButtonEvent event;
    PaneFacts facts;
    ButtonStates after;
  } cases[] = {
      {all, ButtonEvent::Show, below, {}},
      {none, ButtonEvent::ListClick, below, {false, true, true, false, true, true, true}},
      {all, ButtonEvent::ListClick, atRoot, {true, false, false, true, false, true, true}},
      {all, ButtonEvent::ListClick, editing, {true, false, false, true, false, true, true}},
      {none, ButtonEvent::TreeClick, below, {false, true, true, false, true, true, true}},
      {all, ButtonEvent::TreeClick, atRoot, {true, false, false, true, false, true, true}},
      {all, ButtonEvent::TreeClick, editing, {true, false, false, true, false, true, true}},
      {none, ButtonEvent::TreeChange, below, {true, true, true, false, true, true, true}},
      {all, ButtonEvent::TreeChange, atRoot, {false, false, false, true, false, true, true}},
      {all, ButtonEvent::TreeChange, one, {true, true, true, true, true, false, false}},
      {all, ButtonEvent::ListEditing, below, {true, false, false, true, false, false, false}},
      {none, ButtonEvent::CopyDone, below, {false, false, false, true, false, false, false}},
      {none, ButtonEvent::DeleteDone, one, {false, true, true, false, false, false, false}},
      {all, ButtonEvent::DeleteDone, atRoot, {true, false, false, true, true, true, true}},
  };
  int i = 0;
  for (const auto& c : cases) EXPECT_EQ(ApplyButtonEvent(c.before, c.event, c.facts), c.after) << "case " << i++;
}

TEST(MainCommands, PopupByHowManyRowsAreSelected) {
  EXPECT_EQ(ListPopupFor(0), ListPopup::NoneSelected);
  EXPECT_EQ(ListPopupFor(1), ListPopup::OneSelected);
  EXPECT_EQ(ListPopupFor(2), ListPopup::SeveralSelected);
  EXPECT_TRUE(IsSelectAllKey(0x41, true));
  EXPECT_FALSE(IsSelectAllKey(0x41, false));
  EXPECT_FALSE(IsSelectAllKey(0x43, true));
}

TEST(BrowseFolder, FlagsSpecialFoldersSizeAndPlace) {
  EXPECT_EQ(BrowseFlags({BrowseOption::bifReturnOnlyFSDirs, BrowseOption::bifNoNewFolderButton}), 0x201u);
  EXPECT_EQ(BrowseFlags({BrowseOption::bifUseNewUI}), 0x50u);
  EXPECT_EQ(BrowseFlags({BrowseOption::bifShareAble, BrowseOption::bifBrowseIncludeFiles}), 0xC000u);
  EXPECT_EQ(SpecialDirCsidl(SpecialFolder::sfNone), 0);
  EXPECT_EQ(SpecialDirCsidl(SpecialFolder::sfMyVidio), 14);
  EXPECT_EQ(SpecialDirCsidl(SpecialFolder::sfDesktopDirectory), 16);
  EXPECT_EQ(SpecialDirCsidl(SpecialFolder::sfCommon_Music), 53);
  EXPECT_EQ(SpecialDirCsidl(SpecialFolder::sfProfiles), 62);
  EXPECT_EQ(BrowseWidth(100), 390);
  EXPECT_EQ(BrowseHeight(500), 500);
  BrowsePlacement centred = PlaceBrowseDialog(0, 0, 100, 100, 1280, 1024);
  EXPECT_EQ(centred.left, (1280 - 390) / 2);
  EXPECT_EQ(centred.top, (1024 - 400) / 2);
  BrowsePlacement onlyTop = PlaceBrowseDialog(0, 70, 390, 400, 1280, 1024);
  EXPECT_EQ(onlyTop.left, 0);
  EXPECT_EQ(onlyTop.top, 70);
}
