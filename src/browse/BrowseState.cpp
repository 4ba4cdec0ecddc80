#include "browse/BrowseState.h"

#include <algorithm>

namespace tess {

void BrowseState::Show(const std::u16string& root, const std::u16string& shown, FolderChange change) {
  root_ = root;
  shown_ = shown;
  // A copy: an observer may come or go while it is told (a pane destroyed by its handler).
  std::vector<Observer*> observers = observers_;
  for (Observer* o : observers)
    if (std::find(observers_.begin(), observers_.end(), o) != observers_.end()) o->FolderChanged(change);
}

void BrowseState::RaiseRowsChanged(const std::u16string& folder, const Observer* source) {
  std::vector<Observer*> observers = observers_;
  for (Observer* o : observers)
    if (o != source && std::find(observers_.begin(), observers_.end(), o) != observers_.end()) o->RowsChanged(folder);
}

bool BrowseState::RequestNewFolder() {
  std::vector<Observer*> observers = observers_;
  for (Observer* o : observers)
    if (std::find(observers_.begin(), observers_.end(), o) != observers_.end() && o->NewFolderRequested()) return true;
  return false;
}

void BrowseState::RaiseFolderVanished(const std::u16string& folder) {
  std::vector<Observer*> observers = observers_;
  for (Observer* o : observers)
    if (std::find(observers_.begin(), observers_.end(), o) != observers_.end()) o->FolderVanished(folder);
}

void BrowseState::AddObserver(Observer& observer) {
  if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end()) observers_.push_back(&observer);
}

void BrowseState::RemoveObserver(Observer& observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer), observers_.end());
}

}  // namespace tess
