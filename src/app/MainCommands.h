#pragma once
// The main window's decisions, apart from the window: which pane a command goes to, which
// tool buttons an event enables or disables, and which pop-up menu a right click opens.
#include <array>
#include <optional>
#include <string>

namespace tess {

enum class Pane { None, List, Tree };
// The list is asked first, then the tree; a command with neither focused goes nowhere.
Pane CommandTarget(bool listFocused, bool treeFocused);

// The seven tool buttons whose state changes, in this order.
enum SwitchableButton : int { sbBack, sbReName, sbCopy, sbPaste, sbDelete, sbNewFolder, sbRefresh, SwitchableCount };
using ButtonStates = std::array<bool, SwitchableCount>;

// The events that change the buttons.
enum class ButtonEvent { Show, ListClick, TreeClick, TreeChange, ListEditing, CopyDone, DeleteDone };

// What the panes say when an event happens.
struct PaneFacts {
  int listSelected = 0;            // selected list rows
  bool listEditing = false;        // an in-place editor is open in the list
  bool treeHasSelection = false;   // the tree has a selected node
  bool treeEditing = false;        // an in-place editor is open in the tree
  std::u16string treeSelectFolder;
  std::u16string treeRootFolder;
};

// The states after the event; a button the event does not name keeps its state.
ButtonStates ApplyButtonEvent(ButtonStates current, ButtonEvent event, const PaneFacts& facts);

enum class ListPopup { OneSelected, NoneSelected, SeveralSelected };
// One selected row: OneSelected; none: NoneSelected; several: SeveralSelected.
ListPopup ListPopupFor(int selectedCount);

// Ctrl+A, with Shift or Alt held as well or not.
bool IsSelectAllKey(unsigned virtualKey, bool ctrlDown);

}  // namespace tess
