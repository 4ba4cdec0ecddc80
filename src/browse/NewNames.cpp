#include "browse/NewNames.h"

#include "browse/FileCommands.h"
#include "browse/FolderPaths.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"

namespace tess {

std::u16string NewTextDocumentName(const std::u16string& folder, const PathTest& fileExists) {
  std::u16string candidate = NumberedName(texts::kNewTextDocumentName, u".txt", 1);
  for (long long counter = 2; fileExists(folder + candidate); ++counter)
    candidate = NumberedName(texts::kNewTextDocumentName, u".txt", counter);
  return candidate;
}

std::u16string ShortcutFileName(const std::u16string& destination, const PathTest& exists) {
  std::u16string ext = ExtractFileExt(destination);
  std::u16string stem = destination.substr(0, destination.size() - ext.size());
  std::u16string name = stem + u".lnk";
  for (long long n = 1; exists(name); ++n) name = stem + u"(" + PadNumber(n, 1) + u").lnk";
  return name;
}

std::u16string OpenWithParameters(const std::u16string& path) { return u"shell32.dll,OpenAs_RunDLL " + path; }

DropPlan PlanFileDrop(const std::vector<std::u16string>& files, const std::vector<std::u16string>& mappedNames,
                      const std::u16string& folder, uint32_t effect, const PathTest& exists,
                      const std::function<bool(const std::u16string&, const std::u16string&)>& sameFile) {
  DropPlan plan;
  effect &= ~DROPEFFECT_SCROLL_;
  DropStep::Kind kind;
  if (effect & DROPEFFECT_COPY_) {
    kind = DropStep::Copy;
    plan.effect = DROPEFFECT_COPY_;
  } else if (effect & DROPEFFECT_MOVE_) {
    kind = DropStep::Move;
    plan.effect = DROPEFFECT_MOVE_;
  } else if (effect & DROPEFFECT_LINK_) {
    kind = DropStep::Link;
    plan.effect = DROPEFFECT_LINK_;
  } else {
    return plan;
  }
  for (size_t i = 0; i < files.size(); ++i) {
    const std::u16string& source = files[i];
    // A mapped name is a name, never a path: one that climbs out of the folder is cut to its
    // last part.
    std::u16string name =
        ExtractFileName(i < mappedNames.size() && !mappedNames[i].empty() ? mappedNames[i] : source);
    if (size_t slash = name.rfind(u'/'); slash != std::u16string::npos) name.erase(0, slash + 1);
    if (name.empty() || IsDotEntry(name)) continue;  // a bare folder root has no name to give a copy
    std::u16string destination = folder + name;
    if (kind != DropStep::Link && sameFile(source, destination)) {
      plan.steps.push_back({DropStep::SameFolder, source, destination});
      break;
    }
    // A shortcut gets a name of its own; a copy or a move never replaces what is there.
    if (kind != DropStep::Link && exists(destination)) {
      plan.steps.push_back({DropStep::SkipExisting, source, destination});
      continue;
    }
    plan.steps.push_back({kind, source, destination});
  }
  return plan;
}

bool AllInFolder(const std::vector<std::u16string>& files, const std::u16string& folder,
                 const std::function<bool(const std::u16string&, const std::u16string&)>& sameFile) {
  if (files.empty()) return false;
  for (const auto& f : files) {
    std::u16string name = ExtractFileName(f);
    if (name.empty() || !sameFile(f, folder + name)) return false;
  }
  return true;
}

}  // namespace tess
