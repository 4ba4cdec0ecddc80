#pragma once
// Small wrappers over the common controls the windows share: texts of combo boxes (plain
// and extended), list view columns and cells, the point a context menu opens at from the
// keyboard, and the splitter between two panes.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace tess {

// A window's whole text.
std::u16string WindowText(HWND hwnd);

// A plain combo box: the selected index (-1 for none), the items' texts, and a new list of
// items with one selected (an index out of range selects none). Fill fails (false) when the
// box takes no more items.
int ComboSelection(HWND combo);
std::vector<std::u16string> ComboItems(HWND combo);
bool FillCombo(HWND combo, const std::vector<std::u16string>& items, int index);

// An extended combo box (ComboBoxEx) keeps its items' texts itself.
std::u16string ComboExItemText(HWND combo, int index);
std::vector<std::u16string> ComboExItems(HWND combo);
// The selected item's text; empty when none is selected.
std::u16string ComboExSelectedText(HWND combo);

// A list view column, with its caption, width in pixels and alignment; false on failure.
bool AddListColumn(HWND list, int index, const std::u16string& caption, int width, bool alignRight = false);
// The text of one cell (column 0 is the item itself).
std::u16string ListCellText(HWND list, int row, int column);

// Where a context menu asked for by the keyboard (the menu key, Shift+F10) opens: under the
// focused row of a list view, or the selected node of a tree view; in screen coordinates.
POINT ListMenuPoint(HWND list);
POINT TreeMenuPoint(HWND tree);

// The bar between two panes, dragged with the mouse. The owner window forwards its mouse
// and cursor messages; the splitter tells it the new position, kept between the limits.
class Splitter {
 public:
  struct Callbacks {
    std::function<RECT()> bar;                 // the bar in the owner's client coordinates
    std::function<int()> position;             // the bar's left edge now
    std::function<void(int& low, int& high)> limits;
    std::function<void(int position)> moveTo;  // lays the panes out for the new position
  };
  Splitter(HWND owner, Callbacks callbacks) : owner_(owner), callbacks_(std::move(callbacks)) {}
  // True when the message was the splitter's; result is then the window procedure's answer.
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  bool Dragging() const { return dragging_; }

 private:
  HWND owner_;
  Callbacks callbacks_;
  bool dragging_ = false;
  int grabOffset_ = 0;  // where on the bar the mouse took it
};

}  // namespace tess
