#pragma once
// What the rename dialog and the template list editor decide, apart from their windows:
// the lists and selections a showing ends with, which list the editor edits, what an
// edited list becomes, the lines of a text area, and where a resize puts the controls.
#include <optional>
#include <string>
#include <vector>

#include "platform/SettingsKey.h"
#include "platform/UiTexts.h"
#include "rename/RenameRun.h"
#include "rename/RenameSettings.h"
#include "rename/RenameTemplate.h"

namespace tess {

inline constexpr const char16_t* kFolderMarker = Marker(MarkerKind::KeepFolder).japanese;
inline constexpr const char16_t* kFileMarker = Marker(MarkerKind::KeepName).japanese;
using texts::kRenameFormCaption;
using texts::kListEditFormCaption;
using texts::kFolderListCaption;
using texts::kFileListCaption;
using texts::kBackupListCaption;

// The action drop-down's entries: copy, then move and rename.
std::vector<std::u16string> RenameActions();

// The backup list edits as the folders' does; its first entry, empty, stands for no backup.
enum class TemplateListKind { Folders, Files, Backups };

// A drop-down's entries and its selected entry (-1: none).
struct TemplateChoice {
  std::vector<std::u16string> items;
  int index = -1;
};

// The index a drop-down of `count` entries shows for a requested one: negative or past the
// end is no selection.
int SelectableIndex(int requested, int count);
// The same for a template drop-down, which is never left blank: entry 0 instead of none.
int TemplateIndex(int requested, int count);

// The selected entry's text; empty without a selection.
std::u16string SelectedText(const TemplateChoice& choice);

// The dialog's state at a showing: the placement, lists and selections it had (the
// defaults at the first showing) replaced by what the settings hold, the selections fitted
// to the lists, and the two markers put first. A store that cannot open the key keeps the
// lists as they were; a marker inserted in front keeps the selected template selected; a
// template selection that does not fit its list selects entry 0, never nothing (a blank
// folder template would rename the photos where they lie). The backup list gets its empty
// entry first, which a selection that does not fit selects: no backup unless chosen.
void ShowRenameFormState(SettingsStore* store, RenameWindowSettings& state);

// Puts the marker in front when the list does not start with it; the selection follows
// its entry.
void PutMarkerFirst(TemplateChoice& choice, const std::u16string& marker);

// What a showing of the list editor under this caption loads and what OK replaces.
TemplateListKind ListForCaption(const std::u16string& caption);
const char16_t* CaptionForList(TemplateListKind kind);

// The list a drop-down gets after the editor ended with OK: the edited lines as they are
// (empty lines stay empty entries) and the template that was selected before, found by its
// text (lines added or deleted above it move it); entry 0 when it is gone or nothing was
// selected, never nothing. A list the user emptied gets the marker that keeps each file's
// folder or name, so that a run from it never moves photos anywhere new. The backup list
// keeps no empty line but its first entry, the empty one (no backup).
TemplateChoice ApplyEditedList(std::vector<std::u16string> lines, const std::optional<std::u16string>& rememberedText,
                               TemplateListKind kind);

// The lines of a text area: CR LF, a lone CR or a lone LF end a line; a line break at the
// very end starts no further line. Empty text has no line.
std::vector<std::u16string> SplitLines(const std::u16string& text);
// One line after another with CR LF between them; SplitLines gives the same lines back.
std::u16string JoinLines(const std::vector<std::u16string>& lines);

// The action the action drop-down's entry stands for: entry 0 (or none) copies, the
// entries after it move and rename.
RenameAction ActionAt(int actionIndex);
// A job's action and templates from the drop-downs; no backup unless one is chosen.
void ChooseForJob(RenameJob& job, int actionIndex, const TemplateChoice& folders, const TemplateChoice& files,
                  const TemplateChoice& backups = {});
// The lines the list editor shows for a drop-down's entries: the backup list without its
// empty first entry, which is not the user's to edit.
std::vector<std::u16string> EditableLines(const std::vector<std::u16string>& items, TemplateListKind kind);

// The lines テスト adds to its log for typing slips: "不明なトークン: @年" for each "@" of the
// job's two templates that starts no token (the run drops such an "@").
std::vector<std::u16string> UnknownTokenLines(const RenameJob& job);

// ---- Layout ----

struct ControlRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const ControlRect&) const = default;
};

// The rename dialog's controls in the order of their design table.
enum RenameControl : int {
  rcActionLabel, rcFolderLabel, rcNameLabel, rcActionBox, rcFolderBox, rcEditFoldersButton, rcNameBox, rcEditNamesButton, rcLog, rcRunButton,
  rcCloseButton, rcTestButton, rcUndoButton, rcIncludeImported, rcClockRulesButton, rcBackupLabel, rcBackupBox,
  rcEditBackupsButton, rcEjectWhenDone, RenameControlCount
};
inline constexpr int kRenameFormClientWidth = 505;
inline constexpr int kRenameFormClientHeight = 285;
// Below the log: a strip for the run's progress bar, then the buttons' row.
inline constexpr int kRenameProgressStrip = 20;
// The client height that leaves the log its designed 103 pixels (about seven lines) with the
// progress strip and the buttons below it: the dialog is never made smaller than this.
inline constexpr int kRenameFormMinClientHeight = 143 + 103 + kRenameProgressStrip + 25 + 8;
const ControlRect& RenameDesignRect(RenameControl control);
// Every control's rectangle for the dialog's client width and height and the size of the
// widest label text; sizes never negative.
std::vector<ControlRect> RenameFormLayout(int clientWidth, int clientHeight, int labelWidth = 0, int labelHeight = 0);

enum ListEditControl : int { lcListText, lcOkButton, lcCancelButton, lcTokenTable, ListEditControlCount };
// The token table right of the text area, which keeps its designed 505 pixels.
inline constexpr int kTokenTableWidth = 460;
inline constexpr int kListEditFormClientWidth = 505 + 8 + kTokenTableWidth;
inline constexpr int kListEditFormClientHeight = 231;
const ControlRect& ListEditDesignRect(ListEditControl control);
// Every control's rectangle for the client area's width and height.
std::vector<ControlRect> ListEditFormLayout(int clientWidth, int clientHeight);

}  // namespace tess
