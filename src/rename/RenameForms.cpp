#include "rename/RenameForms.h"

#include <algorithm>

#include "rename/RenameTemplate.h"

namespace tess {

std::vector<std::u16string> RenameActions() { return {texts::kActionCopy, texts::kActionMove}; }

int SelectableIndex(int requested, int count) { return requested >= 0 && requested < count ? requested : -1; }

int TemplateIndex(int requested, int count) {
  if (count <= 0) return -1;
  return requested >= 0 && requested < count ? requested : 0;
}

std::u16string SelectedText(const TemplateChoice& choice) {
  int index = SelectableIndex(choice.index, static_cast<int>(choice.items.size()));
  return index < 0 ? std::u16string() : choice.items[static_cast<size_t>(index)];
}

void PutMarkerFirst(TemplateChoice& choice, const std::u16string& marker) {
  if (!choice.items.empty() && choice.items.front() == marker) return;
  choice.items.insert(choice.items.begin(), marker);
  if (choice.index >= 0) ++choice.index;
}

void ShowRenameFormState(SettingsStore* store, RenameWindowSettings& state) {
  if (store) ReadRenameWindowSettings(*store, state);
  TemplateChoice folders{std::move(state.folderTemplates), state.itemIndex[1]};
  TemplateChoice files{std::move(state.fileTemplates), state.itemIndex[2]};
  // The stored backup list holds no empty entry (the registry's lists keep none), while its
  // stored index counts the empty one shown first: put back, it moves no selection.
  TemplateChoice backups{std::move(state.backupTemplates), state.backupIndex};
  if (backups.items.empty() || !backups.items.front().empty()) backups.items.insert(backups.items.begin(), u"");
  backups.index = TemplateIndex(backups.index, static_cast<int>(backups.items.size()));
  state.backupTemplates = std::move(backups.items);
  state.backupIndex = backups.index;
  state.itemIndex[0] = SelectableIndex(state.itemIndex[0], static_cast<int>(RenameActions().size()));
  folders.index = SelectableIndex(folders.index, static_cast<int>(folders.items.size()));
  files.index = SelectableIndex(files.index, static_cast<int>(files.items.size()));
  PutMarkerFirst(folders, kFolderMarker);
  PutMarkerFirst(files, kFileMarker);
  folders.index = TemplateIndex(folders.index, static_cast<int>(folders.items.size()));
  files.index = TemplateIndex(files.index, static_cast<int>(files.items.size()));
  state.folderTemplates = std::move(folders.items);
  state.fileTemplates = std::move(files.items);
  state.itemIndex[1] = folders.index;
  state.itemIndex[2] = files.index;
}

TemplateListKind ListForCaption(const std::u16string& caption) {
  if (caption == kFolderListCaption) return TemplateListKind::Folders;
  return caption == kBackupListCaption ? TemplateListKind::Backups : TemplateListKind::Files;
}

const char16_t* CaptionForList(TemplateListKind kind) {
  switch (kind) {
    case TemplateListKind::Folders: return kFolderListCaption;
    case TemplateListKind::Backups: return kBackupListCaption;
    case TemplateListKind::Files: break;
  }
  return kFileListCaption;
}

std::vector<std::u16string> EditableLines(const std::vector<std::u16string>& items, TemplateListKind kind) {
  if (kind != TemplateListKind::Backups || items.empty() || !items.front().empty()) return items;
  return std::vector<std::u16string>(items.begin() + 1, items.end());
}

TemplateChoice ApplyEditedList(std::vector<std::u16string> lines, const std::optional<std::u16string>& rememberedText,
                               TemplateListKind kind) {
  if (kind == TemplateListKind::Backups) {
    // An empty line would be a second "no backup": only the first entry is empty.
    std::erase(lines, std::u16string());
    lines.insert(lines.begin(), std::u16string());
  }
  TemplateChoice choice{std::move(lines), 0};
  if (choice.items.empty()) choice.items.push_back(kind == TemplateListKind::Folders ? kFolderMarker : kFileMarker);
  if (rememberedText) {
    auto found = std::find(choice.items.begin(), choice.items.end(), *rememberedText);
    if (found != choice.items.end()) choice.index = static_cast<int>(found - choice.items.begin());
  }
  return choice;
}

std::vector<std::u16string> SplitLines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  std::u16string line;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::u16string JoinLines(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += u"\r\n";
    text += lines[i];
  }
  // A last empty line needs a line break of its own, or it would not come back.
  if (!lines.empty() && lines.back().empty()) text += u"\r\n";
  return text;
}

RenameAction ActionAt(int actionIndex) { return actionIndex <= 0 ? RenameAction::Copy : RenameAction::Move; }

void ChooseForJob(RenameJob& job, int actionIndex, const TemplateChoice& folders, const TemplateChoice& files,
                  const TemplateChoice& backups) {
  job.action = ActionAt(actionIndex);
  job.folderTemplate = SelectedText(folders);
  job.nameTemplate = SelectedText(files);
  job.backupFolderTemplate = SelectedText(backups);
}

std::vector<std::u16string> UnknownTokenLines(const RenameJob& job) {
  std::vector<std::u16string> lines;
  for (const std::u16string* text : {&job.folderTemplate, &job.nameTemplate})
    for (const std::u16string& token : UnknownTemplateTokens(*text)) lines.push_back(texts::kUnknownToken + token);
  return lines;
}

namespace {

const ControlRect kRenameDesign[RenameControlCount] = {
    {8, 10, 28, 13},     // Label1 "動作:"
    {8, 41, 43, 13},     // Label2 "コピー先:"
    {8, 67, 50, 13},     // Label3 "ファイル名:"
    {64, 8, 281, 21},    // ActionBox
    {64, 35, 250, 21},   // FolderBox
    {320, 35, 25, 21},   // Button2
    {64, 62, 250, 21},   // NameBox
    {320, 62, 25, 21},   // Button3
    {64, 143, 281, 103},  // Log
    {190, 252, 75, 25},  // Exec1
    {271, 252, 75, 25},  // Close1
    {109, 252, 75, 25},  // Test1
    {28, 252, 75, 25},   // Undo1 (元に戻す), left of Test1 as Test1 is of Exec1
    {8, 252, 14, 25},    // 取り込み済みも含める: the buttons' row, left of Undo1
    {353, 8, 90, 21},    // 時刻補正...: the action's row, at its right end (the action needs little room)
    {8, 94, 50, 13},     // "バックアップ先:", a row below the file name's
    {64, 89, 250, 21},   // BackupBox
    {320, 89, 25, 21},   // its "..."
    {64, 116, 281, 21},  // 完了後にカードを取り出す: a row of its own, above the log
};

const ControlRect kListEditDesign[ListEditControlCount] = {
    {0, 0, 505, 192},     // Log
    {341, 198, 75, 25},   // OkButton
    {422, 198, 75, 25},   // CancelButton
    {513, 0, kTokenTableWidth, 192},  // the token table
};

int NotNegative(int value) { return std::max(value, 0); }

}  // namespace

const ControlRect& RenameDesignRect(RenameControl control) { return kRenameDesign[control]; }
const ControlRect& ListEditDesignRect(ListEditControl control) { return kListEditDesign[control]; }

std::vector<ControlRect> RenameFormLayout(int w, int h, int labelWidth, int labelHeight) {
  std::vector<ControlRect> r(std::begin(kRenameDesign), std::end(kRenameDesign));
  // The labels as wide and high as their texts; the controls beside them start after the
  // widest, so that no label runs under its drop-down whatever the font.
  constexpr int kLabelGap = 6;
  int controlsLeft = std::max(r[rcActionBox].left, r[rcActionLabel].left + labelWidth + kLabelGap);
  for (RenameControl label : {rcActionLabel, rcFolderLabel, rcNameLabel, rcBackupLabel}) {
    if (labelWidth > 0) r[label].width = labelWidth;
    r[label].height = std::max(r[label].height, labelHeight);
  }
  for (RenameControl control : {rcActionBox, rcFolderBox, rcNameBox, rcBackupBox, rcEjectWhenDone, rcLog})
    r[control].left = controlsLeft;
  // Right edges 16 pixels in from the client's (the ellipsis buttons 13), the buttons' row 8
  // above its bottom, the log down to the progress strip above that row.
  r[rcClockRulesButton].left = w - r[rcClockRulesButton].width - 13;
  r[rcActionBox].width = NotNegative(r[rcClockRulesButton].left - r[rcActionBox].left - 3);
  r[rcFolderBox].width = NotNegative(w - r[rcFolderBox].left - r[rcEditFoldersButton].width - 16);
  r[rcNameBox].width = NotNegative(w - r[rcNameBox].left - r[rcEditNamesButton].width - 16);
  r[rcEditFoldersButton].left = w - r[rcEditFoldersButton].width - 13;
  r[rcEditNamesButton].left = w - r[rcEditNamesButton].width - 13;
  r[rcBackupBox].width = NotNegative(w - r[rcBackupBox].left - r[rcEditBackupsButton].width - 16);
  r[rcEditBackupsButton].left = w - r[rcEditBackupsButton].width - 13;
  r[rcEjectWhenDone].width = NotNegative(w - r[rcEjectWhenDone].left - 16);
  r[rcCloseButton].top = h - r[rcCloseButton].height - 8;
  r[rcCloseButton].left = w - r[rcCloseButton].width - 16;
  r[rcLog].width = NotNegative(w - r[rcLog].left - 16);
  r[rcLog].height = NotNegative(r[rcCloseButton].top - kRenameProgressStrip - r[rcLog].top);
  r[rcRunButton].top = r[rcCloseButton].top;
  r[rcRunButton].left = w - r[rcRunButton].width - r[rcCloseButton].width - 24;
  r[rcTestButton].top = r[rcCloseButton].top;
  r[rcTestButton].left = w - r[rcRunButton].width - r[rcCloseButton].width - r[rcTestButton].width - 32;
  r[rcUndoButton].top = r[rcCloseButton].top;
  r[rcUndoButton].left = r[rcTestButton].left - r[rcUndoButton].width - (r[rcRunButton].left - r[rcTestButton].left - r[rcTestButton].width);
  // A run's option, on the buttons' row: whatever room the buttons leave at its left.
  r[rcIncludeImported].top = r[rcCloseButton].top;
  r[rcIncludeImported].width = NotNegative(r[rcUndoButton].left - r[rcIncludeImported].left - 8);
  return r;
}

std::vector<ControlRect> ListEditFormLayout(int cw, int ch) {
  std::vector<ControlRect> r(std::begin(kListEditDesign), std::end(kListEditDesign));
  // The token table beside the text area takes its width, or half of a narrow window.
  constexpr int kGap = 8;
  int tableWidth = std::min(kTokenTableWidth, NotNegative(cw - kGap) / 2);
  r[lcListText].width = NotNegative(cw - tableWidth - kGap);
  r[lcListText].height = NotNegative(ch - r[lcOkButton].height - 20);
  r[lcTokenTable] = ControlRect{cw - tableWidth, 0, tableWidth, r[lcListText].height};
  r[lcCancelButton].top = ch - r[lcCancelButton].height - 8;
  r[lcCancelButton].left = cw - r[lcCancelButton].width - 8;
  r[lcOkButton].top = r[lcCancelButton].top;
  r[lcOkButton].left = r[lcCancelButton].left - r[lcOkButton].width - 8;
  return r;
}

}  // namespace tess
