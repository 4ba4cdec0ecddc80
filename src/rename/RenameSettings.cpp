#include "rename/RenameSettings.h"

#include <memory>

namespace tess {
namespace {

constexpr const char16_t* kItemIndexNames[] = {u"ComboBox1.ItemIndex", u"ComboBox2.ItemIndex",
                                               u"ComboBox3.ItemIndex"};

std::vector<std::u16string> ReadTemplateList(SettingsKey& key, const char16_t* name,
                                             std::vector<std::u16string> builtIn) {
  std::vector<std::u16string> list;
  if (ReadMultiString(key, name, list) == ReadResult::Ok && !list.empty()) return list;
  return builtIn;
}

}  // namespace

std::vector<std::u16string> RenameWindowSettings::BuiltInFolderTemplates() {
  return {u"@元のフォルダ名", u"@年4@月2@日2", u"@モデル\\@年4@月2@日2", u"@メーカー\\@モデル\\@年4@月2@日2",
          u"C:\\DSC\\@元号2@元号年1年@月1月@日1日"};
}

std::vector<std::u16string> RenameWindowSettings::BuiltInFileTemplates() {
  return {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2", u"@年4@月2@日2(@曜1)-@時2@分2@秒2",
          u"@年4@月2@日2-@通1"};
}

std::vector<std::u16string> RenameWindowSettings::BuiltInBackupTemplates() {
  // No backup until one is added with "...": the empty entry, which the dialog always shows first.
  return {u""};
}

void ReadRenameWindowSettings(SettingsStore& store, RenameWindowSettings& settings) {
  std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kRenameWindowKey);
  if (!key) return;
  ReadPlacement(*key, settings.placement);
  settings.folderTemplates = ReadTemplateList(*key, u"CopyToPath", RenameWindowSettings::BuiltInFolderTemplates());
  settings.fileTemplates = ReadTemplateList(*key, u"CopyToFile", RenameWindowSettings::BuiltInFileTemplates());
  for (int i = 0; i < 3; ++i) {
    int32_t value;
    settings.itemIndex[i] = ReadInteger(*key, kItemIndexNames[i], value) == ReadResult::Ok ? value : 0;
  }
  int32_t include = 0;
  settings.includeImported = ReadInteger(*key, u"IncludeImported", include) == ReadResult::Ok && include != 0;
  settings.backupTemplates = ReadTemplateList(*key, u"BackupToPath", RenameWindowSettings::BuiltInBackupTemplates());
  int32_t value;
  settings.backupIndex = ReadInteger(*key, u"ComboBox4.ItemIndex", value) == ReadResult::Ok ? value : 0;
  int32_t eject = 0;
  settings.ejectWhenDone = ReadInteger(*key, u"EjectWhenDone", eject) == ReadResult::Ok && eject != 0;
}

bool WriteRenameWindowSettings(SettingsStore& store, const RenameWindowSettings& settings) {
  std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kRenameWindowKey);
  if (!key) return false;
  const auto& index = settings.itemIndex;
  bool placement = WritePlacement(*key, settings.placement);
  bool indices = WriteIntegerGroup(
      *key, {{kItemIndexNames[0], index[0]}, {kItemIndexNames[1], index[1]}, {kItemIndexNames[2], index[2]}});
  bool folders = WriteMultiString(*key, u"CopyToPath", settings.folderTemplates);
  bool files = WriteMultiString(*key, u"CopyToFile", settings.fileTemplates);
  bool include = WriteInteger(*key, u"IncludeImported", settings.includeImported ? 1 : 0);
  // Without the empty entry (no backup), which the dialog always shows first: the index counts it.
  std::vector<std::u16string> backupList = settings.backupTemplates;
  if (!backupList.empty() && backupList.front().empty()) backupList.erase(backupList.begin());
  bool backups = WriteMultiString(*key, u"BackupToPath", backupList);
  bool backupIndex = WriteInteger(*key, u"ComboBox4.ItemIndex", settings.backupIndex);
  bool eject = WriteInteger(*key, u"EjectWhenDone", settings.ejectWhenDone ? 1 : 0);
  return placement && indices && folders && files && include && backups && backupIndex && eject;
}

void ReadListEditWindowSettings(SettingsStore& store, ListEditWindowSettings& settings) {
  if (std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kListEditWindowKey)) ReadPlacement(*key, settings.placement);
}

bool WriteListEditWindowSettings(SettingsStore& store, const ListEditWindowSettings& settings) {
  std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kListEditWindowKey);
  return key && WritePlacement(*key, settings.placement);
}

}  // namespace tess
