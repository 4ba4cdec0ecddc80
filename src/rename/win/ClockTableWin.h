#pragma once
// ClockTableDialog ("時刻補正"): the batch's cameras in a table, each with its clock shift
// and video rule, typed or found from a reference photo. The logic is ClockTable's; this
// window shows its rows and passes on what is typed. OK keeps the rules in the settings hive.
#include <windows.h>

#include <memory>
#include <string>

#include "rename/ClockTable.h"
#include "rename/win/ModalDialog.h"

namespace tess {

enum ClockTableControlId : int {
  IdClockList = 1201, IdClockShiftLabel, IdClockShift, IdClockVideo, IdClockPhotoLabel, IdClockPhoto,
  IdClockTimeLabel, IdClockTime, IdClockCompute, IdClockMessage,
  IdClockOk = IDOK,
  IdClockCancel = IDCANCEL,
};

// The rename dialog's "時刻補正..." button, which opens this table.
constexpr int IdClockRulesButton = 1050;

class ClockTableDialog : public ModalDialog {
 public:
  // settingsRoot: put in front of the rules' key (tests keep theirs under a throwaway key).
  ClockTableDialog(HINSTANCE instance, HWND owner, const RenameJob& job, std::u16string settingsRoot);
  HWND Control(ClockTableControlId id) const { return GetDlgItem(Handle(), id); }
  // A cell of the table as shown.
  std::u16string Cell(int row, int column) const;
  int RowCount() const;
  void SelectRow(int row);

 protected:
  void BeforeShow() override;
  HWND FirstControl() const override { return Control(IdClockList); }
  bool OnCommand(int id, int code) override;
  INT_PTR OnDialogMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;

 private:
  void FillRow(int row);
  void ShowSelected();
  void Say(const std::u16string& message);
  void OnOk();
  int Selected() const;

  const RenameJob& job_;
  std::u16string settingsRoot_;
  ClockRules stored_;
  std::unique_ptr<ClockTable> table_;
  bool filling_ = false;  // the edits are being set from the table, not typed
};

}  // namespace tess
