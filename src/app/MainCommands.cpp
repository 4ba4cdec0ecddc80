#include "app/MainCommands.h"

namespace tess {

Pane CommandTarget(bool listFocused, bool treeFocused) {
  if (listFocused) return Pane::List;
  if (treeFocused) return Pane::Tree;
  return Pane::None;
}

ButtonStates ApplyButtonEvent(ButtonStates s, ButtonEvent event, const PaneFacts& f) {
  const bool L = f.listSelected > 0 && !f.listEditing;
  const bool R = f.treeSelectFolder != f.treeRootFolder;
  const bool T = f.treeHasSelection && R && !f.treeEditing;
  const bool S = f.treeHasSelection;
  switch (event) {
    case ButtonEvent::Show:
      s.fill(false);
      break;
    case ButtonEvent::ListClick:
      s[sbReName] = s[sbCopy] = s[sbDelete] = L;
      s[sbNewFolder] = s[sbRefresh] = true;
      break;
    case ButtonEvent::TreeClick:
      s[sbReName] = s[sbCopy] = s[sbDelete] = T;
      s[sbNewFolder] = s[sbRefresh] = true;
      break;
    case ButtonEvent::TreeChange:
      s[sbBack] = s[sbReName] = s[sbCopy] = s[sbDelete] = R;
      s[sbNewFolder] = s[sbRefresh] = S;
      break;
    case ButtonEvent::ListEditing:
      s[sbReName] = s[sbCopy] = s[sbDelete] = s[sbNewFolder] = s[sbRefresh] = false;
      break;
    case ButtonEvent::CopyDone:
      s[sbPaste] = true;
      break;
    case ButtonEvent::DeleteDone:
      s[sbReName] = f.listSelected == 1;
      s[sbCopy] = R;
      break;
  }
  return s;
}

ListPopup ListPopupFor(int selectedCount) {
  if (selectedCount <= 0) return ListPopup::NoneSelected;
  return selectedCount == 1 ? ListPopup::OneSelected : ListPopup::SeveralSelected;
}

bool IsSelectAllKey(unsigned virtualKey, bool ctrlDown) { return ctrlDown && virtualKey == 0x41; }

}  // namespace tess
