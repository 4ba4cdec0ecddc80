#include "app/win/DragDrop.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>
#include <utility>

#include "browse/FolderPaths.h"
#include "browse/NewNames.h"
#include "platform/Shell.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

CLIPFORMAT ShellIdListFormat() { return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_SHELLIDLIST)); }
CLIPFORMAT FileNameMapFormat() { return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILENAMEMAPW)); }

HGLOBAL GlobalFromBytes(const void* bytes, size_t size) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1);
  if (!h) return nullptr;
  void* p = GlobalLock(h);
  if (!p) {
    GlobalFree(h);
    return nullptr;
  }
  if (size) std::memcpy(p, bytes, size);
  GlobalUnlock(h);
  return h;
}

HGLOBAL CopyGlobal(HGLOBAL source) {
  SIZE_T size = GlobalSize(source);
  const void* p = GlobalLock(source);
  if (!p) return nullptr;
  HGLOBAL copy = GlobalFromBytes(p, size);
  GlobalUnlock(source);
  return copy;
}

bool HasWildcard(const std::u16string& path) {
  return ExtractFileName(path).find_first_of(u"*?") != std::u16string::npos;
}

// A wildcard path stands for the matching entries of its folder.
std::vector<std::u16string> ExpandWildcards(const std::vector<std::u16string>& paths) {
  std::vector<std::u16string> out;
  for (const auto& path : paths) {
    if (!HasWildcard(path)) {
      out.push_back(path);
      continue;
    }
    std::u16string folder = ExtractFilePath(path);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(W(path), &fd);
    if (h == INVALID_HANDLE_VALUE) continue;
    do {
      std::u16string name = U16(fd.cFileName);
      if (!IsDotEntry(name)) out.push_back(folder + name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  return out;
}

// The shell's own form of a folder: a drive root with its "\", any other folder without it.
std::u16string ShellForm(const std::u16string& path) {
  return IsDriveRootPath(path) ? path : ExcludeTrailingBackslash(path);
}

struct PidlOwner {
  PIDLIST_ABSOLUTE p = nullptr;
  ~PidlOwner() {
    if (p) CoTaskMemFree(p);
  }
};

// A CIDA: the count, the offsets of the parent and of each child, then the ID lists. The
// parent is the paths' common folder, or the desktop (with absolute children) when they differ.
std::vector<BYTE> BuildShellIdList(const std::vector<std::u16string>& paths) {
  std::vector<std::u16string> items = ExpandWildcards(paths);
  bool common = !items.empty();
  for (const auto& item : items)
    if (!SameFullPath(ExtractFilePath(item), ExtractFilePath(items.front()))) common = false;
  PidlOwner parent;
  if (common && FAILED(SHParseDisplayName(W(ShellForm(ExtractFilePath(items.front()))), nullptr, &parent.p, 0, nullptr)))
    common = false;
  // Children named one level below their folder: much cheaper than a full parse for each of
  // a thousand photos.
  ComRef<IShellFolder> parentFolder;
  if (common) {
    ComRef<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Out())) ||
        FAILED(desktop->BindToObject(parent.p, nullptr, IID_IShellFolder, reinterpret_cast<void**>(parentFolder.Out()))))
      parentFolder.reset();
  }
  std::vector<std::vector<BYTE>> children;
  for (const auto& item : items) {
    PidlOwner pidl;
    const ITEMIDLIST* child = nullptr;
    std::u16string name = ExtractFileName(ExcludeTrailingBackslash(item));
    if (parentFolder && !name.empty() &&
        SUCCEEDED(parentFolder->ParseDisplayName(nullptr, nullptr, W(name), nullptr,
                                                 reinterpret_cast<PIDLIST_RELATIVE*>(&pidl.p), nullptr)) &&
        pidl.p) {
      child = pidl.p;
    } else if (SUCCEEDED(SHParseDisplayName(W(ShellForm(item)), nullptr, &pidl.p, 0, nullptr)) && pidl.p) {
      child = common ? ILFindLastID(pidl.p) : pidl.p;
    } else {
      continue;
    }
    UINT size = ILGetSize(child);
    const BYTE* b = reinterpret_cast<const BYTE*>(child);
    children.emplace_back(b, b + size);
  }
  if (children.empty()) return {};
  std::vector<BYTE> parentBytes;
  if (common) {
    const BYTE* b = reinterpret_cast<const BYTE*>(parent.p);
    parentBytes.assign(b, b + ILGetSize(parent.p));
  } else {
    parentBytes.assign(sizeof(USHORT), 0);  // the desktop: an empty list
  }
  UINT count = static_cast<UINT>(children.size());
  size_t header = sizeof(UINT) * (count + 2);
  std::vector<BYTE> out(header);
  auto putUint = [&](size_t index, UINT value) { std::memcpy(out.data() + index * sizeof(UINT), &value, sizeof value); };
  putUint(0, count);
  putUint(1, static_cast<UINT>(out.size()));
  out.insert(out.end(), parentBytes.begin(), parentBytes.end());
  for (UINT i = 0; i < count; ++i) {
    putUint(2 + i, static_cast<UINT>(out.size()));
    out.insert(out.end(), children[i].begin(), children[i].end());
  }
  return out;
}

std::vector<BYTE> BuildHDrop(const std::vector<std::u16string>& paths) {
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  const std::u16string packed = PackPaths(paths);
  std::vector<BYTE> out(sizeof header + packed.size() * sizeof(char16_t));
  std::memcpy(out.data(), &header, sizeof header);
  std::memcpy(out.data() + sizeof header, packed.data(), packed.size() * sizeof(char16_t));
  return out;
}

// Reference counting and QueryInterface for an object with one COM interface; it starts
// with one reference, its creator's.
template <class Interface, const IID& InterfaceId>
class ComObject : public Interface {
 public:
  virtual ~ComObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, InterfaceId)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 private:
  LONG refs_ = 1;
};

class FileDataObject final : public ComObject<IDataObject, IID_IDataObject> {
 public:
  explicit FileDataObject(const std::vector<std::u16string>& paths)
      : paths_(paths), hdrop_(BuildHDrop(paths)), idListFormat_(ShellIdListFormat()) {}
  ~FileDataObject() {
    for (auto& s : stored_) ReleaseStgMedium(&s.medium);
  }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!format || !medium) return E_INVALIDARG;
    std::memset(medium, 0, sizeof *medium);
    if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    HGLOBAL h = nullptr;
    if (format->cfFormat == CF_HDROP) {
      h = GlobalFromBytes(hdrop_.data(), hdrop_.size());
    } else if (format->cfFormat == idListFormat_) {
      // Built when a target first asks: naming every item to the shell takes a while, and
      // a drag must start at once.
      if (!idListBuilt_) {
        idList_ = BuildShellIdList(paths_);
        idListBuilt_ = true;
      }
      if (idList_.empty()) return DV_E_FORMATETC;
      h = GlobalFromBytes(idList_.data(), idList_.size());
    } else if (const Stored* s = Find(format->cfFormat)) {
      h = CopyGlobal(s->medium.hGlobal);
    } else {
      return DV_E_FORMATETC;
    }
    if (!h) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = h;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (!format) return E_INVALIDARG;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    bool offered = format->cfFormat == CF_HDROP || format->cfFormat == idListFormat_ || Find(format->cfFormat);
    return offered ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  // Drop targets tell the source what they did (the performed effect and the like).
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
    if (!format || !medium) return E_INVALIDARG;
    if (medium->tymed != TYMED_HGLOBAL || !medium->hGlobal) return DV_E_TYMED;
    if (format->cfFormat == CF_HDROP || format->cfFormat == idListFormat_) return DV_E_FORMATETC;
    Stored s{*format, {}};
    s.format.ptd = nullptr;
    s.medium.tymed = TYMED_HGLOBAL;
    if (release) {
      s.medium = *medium;
    } else {
      s.medium.hGlobal = CopyGlobal(medium->hGlobal);
      if (!s.medium.hGlobal) return E_OUTOFMEMORY;
    }
    for (auto it = stored_.begin(); it != stored_.end(); ++it) {
      if (it->format.cfFormat == format->cfFormat) {
        ReleaseStgMedium(&it->medium);
        stored_.erase(it);
        break;
      }
    }
    stored_.push_back(s);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> formats{{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                                   {idListFormat_, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}};
    return SHCreateStdEnumFmtEtc(static_cast<UINT>(formats.size()), formats.data(), out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  struct Stored {
    FORMATETC format;
    STGMEDIUM medium;
  };
  const Stored* Find(CLIPFORMAT cf) const {
    for (const auto& s : stored_)
      if (s.format.cfFormat == cf) return &s;
    return nullptr;
  }

  std::vector<std::u16string> paths_;
  std::vector<BYTE> hdrop_;
  bool idListBuilt_ = false;
  std::vector<BYTE> idList_;
  CLIPFORMAT idListFormat_;
  std::vector<Stored> stored_;
};

class FileDropSource final : public ComObject<IDropSource, IID_IDropSource> {
 public:
  explicit FileDropSource(bool rightButton) : rightButton_(rightButton) {}
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keyState) override {
    return QueryContinueFileDrag(escape, keyState, rightButton_);
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  bool rightButton_;
};

class FileDropTarget final : public ComObject<IDropTarget, IID_IDropTarget> {
 public:
  explicit FileDropTarget(FileDropHandlers h) : handlers_(std::move(h)) {}
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    offered_ = ReadDroppedFiles(data).files;
    *effect = Choose(keys, pt, *effect);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    *effect = Choose(keys, pt, *effect);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    offered_.clear();
    if (handlers_.leave) handlers_.leave();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    DroppedFiles dropped = ReadDroppedFiles(data);
    std::u16string folder = handlers_.folderAt ? handlers_.folderAt(POINT{pt.x, pt.y}) : std::u16string();
    if (handlers_.leave) handlers_.leave();
    offered_.clear();
    DWORD chosen = folder.empty() ? DROPEFFECT_NONE : ChooseDropEffect(dropped.files, folder, keys, *effect);
    if (chosen == DROPEFFECT_NONE || !handlers_.onDrop) {
      *effect = DROPEFFECT_NONE;
      return S_OK;
    }
    handlers_.onDrop(dropped, folder, chosen);
    *effect = chosen;
    return S_OK;
  }

 private:
  DWORD Choose(DWORD keys, POINTL pt, DWORD allowed) {
    std::u16string folder = handlers_.folderAt ? handlers_.folderAt(POINT{pt.x, pt.y}) : std::u16string();
    if (folder.empty()) return DROPEFFECT_NONE;
    return ChooseDropEffect(offered_, folder, keys, allowed);
  }

  FileDropHandlers handlers_;
  std::vector<std::u16string> offered_;
};

bool IsFolderPath(const std::u16string& path) {
  DWORD a = GetFileAttributesW(W(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::u16string& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

// True when folder is source or lies below it: a folder copied into itself would never end.
bool FolderWithin(const std::u16string& folder, const std::u16string& source) {
  std::u16string inner = IncludeTrailingBackslash(folder), outer = IncludeTrailingBackslash(source);
  return inner.size() >= outer.size() && SameFullPath(inner.substr(0, outer.size()), outer);
}

}  // namespace

ComRef<IDataObject> MakeFileDataObject(const std::vector<std::u16string>& paths) {
  return ComRef<IDataObject>(new FileDataObject(paths));
}

HRESULT QueryContinueFileDrag(BOOL escapePressed, DWORD keyState, bool rightButton) {
  DWORD own = rightButton ? MK_RBUTTON : MK_LBUTTON;
  DWORD other = rightButton ? MK_LBUTTON : MK_RBUTTON;
  if (escapePressed || (keyState & other)) return DRAGDROP_S_CANCEL;
  if (!(keyState & own)) return DRAGDROP_S_DROP;
  return S_OK;
}

DWORD RunFileDrag(const std::vector<std::u16string>& paths, DWORD allowedEffects, bool rightButton) {
  if (paths.empty()) return DROPEFFECT_NONE;
  ComRef<IDataObject> data = MakeFileDataObject(paths);
  ComRef<IDropSource> source(new FileDropSource(rightButton));
  DWORD effect = DROPEFFECT_NONE;
  HRESULT hr = DoDragDrop(data.get(), source.get(), allowedEffects, &effect);
  return hr == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
}

DroppedFiles ReadDroppedFiles(IDataObject* data) {
  DroppedFiles out;
  if (!data) return out;
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (SUCCEEDED(data->GetData(&format, &medium))) {
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
      // The handle itself is the HDROP.
      if (auto drop = static_cast<HDROP>(medium.hGlobal)) {
        UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
          UINT length = DragQueryFileW(drop, i, nullptr, 0);
          std::wstring path(length + 1, L'\0');
          UINT got = DragQueryFileW(drop, i, path.data(), length + 1);
          path.resize(got);
          if (!path.empty()) out.files.push_back(U16(path));
        }
      }
    }
    ReleaseStgMedium(&medium);
  }
  FORMATETC mapFormat{FileNameMapFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM map{};
  if (SUCCEEDED(data->GetData(&mapFormat, &map))) {
    if (map.tymed == TYMED_HGLOBAL && map.hGlobal) {
      SIZE_T chars = GlobalSize(map.hGlobal) / sizeof(wchar_t);
      if (auto p = static_cast<const wchar_t*>(GlobalLock(map.hGlobal))) {
        // NUL-separated names ending in an empty one; never read past the block.
        size_t i = 0;
        while (i < chars && p[i]) {
          size_t start = i;
          while (i < chars && p[i]) ++i;
          out.mappedNames.push_back(U16(p + start, i - start));
          ++i;
        }
        GlobalUnlock(map.hGlobal);
      }
    }
    ReleaseStgMedium(&map);
  }
  return out;
}

std::vector<std::u16string> ReadShellIdListPaths(IDataObject* data) {
  std::vector<std::u16string> out;
  FORMATETC format{ShellIdListFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (!data || FAILED(data->GetData(&format, &medium))) return out;
  SIZE_T size = GlobalSize(medium.hGlobal);
  if (auto cida = static_cast<const CIDA*>(GlobalLock(medium.hGlobal))) {
    const BYTE* base = reinterpret_cast<const BYTE*>(cida);
    if (size >= sizeof(UINT) * 2 && cida->cidl < size && size >= sizeof(UINT) * (size_t{cida->cidl} + 2) &&
        cida->aoffset[0] < size) {
      auto parent = reinterpret_cast<PCIDLIST_ABSOLUTE>(base + cida->aoffset[0]);
      for (UINT i = 0; i < cida->cidl; ++i) {
        if (cida->aoffset[i + 1] >= size) break;
        auto child = reinterpret_cast<PCUIDLIST_RELATIVE>(base + cida->aoffset[i + 1]);
        PIDLIST_ABSOLUTE full = ILCombine(parent, child);
        wchar_t path[MAX_PATH] = {};
        if (full && SHGetPathFromIDListW(full, path)) out.push_back(U16(path));
        if (full) CoTaskMemFree(full);
      }
    }
    GlobalUnlock(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return out;
}

ComRef<IDropTarget> MakeFileDropTarget(FileDropHandlers handlers) {
  return ComRef<IDropTarget>(new FileDropTarget(std::move(handlers)));
}

DWORD ChooseDropEffect(const std::vector<std::u16string>& files, const std::u16string& folder, DWORD keyState,
                       DWORD allowed) {
  allowed &= DROPEFFECT_COPY | DROPEFFECT_LINK;
  if (files.empty() || folder.empty() || !allowed) return DROPEFFECT_NONE;
  bool wantsLink = (keyState & MK_ALT) || ((keyState & MK_CONTROL) && (keyState & MK_SHIFT));
  if (wantsLink && (allowed & DROPEFFECT_LINK)) return DROPEFFECT_LINK;
  // Copying files into the folder they are in would do nothing (or report itself).
  if (AllInFolder(files, folder, SameFullPath)) return DROPEFFECT_NONE;
  return (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_LINK;
}

bool DropTargetRegistration::Register(HWND hwnd, IDropTarget* target) {
  if (hwnd_ || !hwnd || !target || FAILED(RegisterDragDrop(hwnd, target))) return false;
  hwnd_ = hwnd;
  return true;
}

DropTargetRegistration::~DropTargetRegistration() {
  if (hwnd_) RevokeDragDrop(hwnd_);
}

bool SameFullPath(const std::u16string& a, const std::u16string& b) {
  auto full = [](const std::u16string& p) {
    wchar_t buf[MAX_PATH * 2] = {};
    DWORD n = GetFullPathNameW(W(p), MAX_PATH * 2, buf, nullptr);
    return n && n < MAX_PATH * 2 ? U16(buf) : p;
  };
  std::u16string fa = full(a), fb = full(b);
  return CompareStringOrdinal(W(fa), static_cast<int>(fa.size()), W(fb), static_cast<int>(fb.size()), TRUE) ==
         CSTR_EQUAL;
}

std::u16string CreateShortcut(const std::u16string& source, const std::u16string& destination) {
  ComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.Out()))))
    return {};
  std::u16string workingFolder = ShellForm(ExtractFilePath(source));
  if (FAILED(link->SetPath(W(source))) || FAILED(link->SetWorkingDirectory(W(workingFolder)))) return {};
  ComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out())))) return {};
  std::u16string name = ShortcutFileName(destination, PathExists);
  if (FAILED(file->Save(W(name), FALSE))) return {};
  return name;
}

bool ExecuteFileDrop(const DroppedFiles& dropped, const std::u16string& folder, DWORD& effect, HWND owner) {
  DroppedFiles d;
  d.files = ExpandWildcards(dropped.files);
  // Names mapped to the offered paths no longer line up once a wildcard stands for several.
  if (d.files == dropped.files) d.mappedNames = dropped.mappedNames;
  DropPlan plan = PlanFileDrop(d.files, d.mappedNames, folder, effect, PathExists, SameFullPath);
  effect = plan.effect;
  bool refused = false;
  for (const DropStep& step : plan.steps) {
    switch (step.kind) {
      case DropStep::Copy:
        if (IsFolderPath(step.source)) {
          if (FolderWithin(folder, step.source)) {
            refused = true;
            break;
          }
          // A folder is copied whole by the shell; nothing bears its name at the destination,
          // so the shell asks nothing.
          FileOperationRequest r;
          r.hwnd = reinterpret_cast<WindowHandle>(owner);
          r.wFunc = FO_COPY_;
          r.pFrom = step.source + u'\0';
          r.pTo = step.destination + u'\0';
          r.fFlags = FOF_ALLOWUNDO_ | FOF_NOCONFIRMMKDIR_;
          if (PlatformShell().FileOperation(r).returnValue != 0) refused = true;
        } else if (!CopyFileW(W(step.source), W(step.destination), TRUE)) {
          refused = true;
        }
        break;
      case DropStep::Move:
        if (IsFolderPath(step.source) && FolderWithin(folder, step.source)) {
          refused = true;
          break;
        }
        if (!MoveFileW(W(step.source), W(step.destination))) refused = true;
        break;
      case DropStep::Link:
        if (CreateShortcut(step.source, step.destination).empty()) refused = true;
        break;
      case DropStep::SkipExisting:
        refused = true;
        break;
      case DropStep::SameFolder:
        return false;
    }
  }
  // Something was left alone (a name already taken, a folder dropped into itself) or failed (a
  // card pulled meanwhile): a user-level failure, reported by the beep.
  if (refused) MessageBeep(0);
  return true;
}

}  // namespace tess
