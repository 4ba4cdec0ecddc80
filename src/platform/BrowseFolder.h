#pragma once
// The rules of the folder browse dialog that do not need the shell: the special folders and
// their CSIDL numbers, the options and their BROWSEINFO flags, the minimum size and where
// the picker is placed.
#include <cstdint>
#include <initializer_list>

namespace tess {

enum class SpecialFolder {
  sfNone, sfDesktop, sfInternet, sfPrograms, sfControls, sfPrinters, sfPersonal, sfFavorites, sfStartup, sfRecent,
  sfSendTo, sfBitBucket, sfStartMenu, sfMyDocuments, sfMyMusic, sfMyVidio, sfDesktopDirectory, sfDrives, sfNetWork,
  sfNetHood, sfFonts, sfTemplates, sfCommon_StartMenu, sfCommon_Programs, sfCommon_Startup,
  sfCommon_DesktopDirectory, sfAppData, sfPrintHood, sfLocal_AppData, sfAltSartup, sfCommon_AltSartup,
  sfCommon_Favorites, sfInternet_Cache, sfCookies, sfHistory, sfComman_AppData, sfWindows, sfSystem,
  sfProgram_Files, sfMyPictures, sfProfile, sfSystemX86, sfProgram_filesX86, sfProgram_Files_Common,
  sfProgram_Files_CommanX86, sfCommon_Templates, sfCommon_Documents, sfCommon_Admintools, sfAdmintools,
  sfConnections, sfCommon_Music, sfCommon_Pictures, sfCommon_Video, sfResources, sfResources_Localized,
  sfCommon_OEM_links, sfCdburn_Area, sfComputersNearme, sfProfiles,
};
// The shell's CSIDL number of a special folder (sfNone and sfDesktop: 0).
int SpecialDirCsidl(SpecialFolder dir);

enum class BrowseOption {
  bifReturnOnlyFSDirs, bifDontGoBelowDomain, bifStatusText, bifReturnFSAncestors, bifEditBox, bifValidate,
  bifNewDialogStyle, bifUseNewUI, bifbrowseIncludeURLs, bifUAHint, bifNoNewFolderButton, bifNoTranslateTargets,
  bifBroowseForComputer, bifBrowseForPrinter, bifBrowseIncludeFiles, bifShareAble,
};
// A set of options, one bit per option.
class BrowseOptions {
 public:
  BrowseOptions() = default;
  BrowseOptions(std::initializer_list<BrowseOption> options) {
    for (auto o : options) Include(o);
  }
  void Include(BrowseOption o) { bits_ |= 1u << static_cast<unsigned>(o); }
  bool Has(BrowseOption o) const { return (bits_ >> static_cast<unsigned>(o)) & 1u; }

 private:
  uint32_t bits_ = 0;
};
// The OR of the BROWSEINFO flags of the options.
uint32_t BrowseFlags(const BrowseOptions& options);

inline constexpr int kBrowseMinWidth = 390;
inline constexpr int kBrowseMinHeight = 400;
inline int BrowseWidth(int value) { return value > kBrowseMinWidth ? value : kBrowseMinWidth; }
inline int BrowseHeight(int value) { return value > kBrowseMinHeight ? value : kBrowseMinHeight; }

struct BrowsePlacement {
  int left, top, width, height;
};
// Where the picker goes: at (left, top) unless both are 0, then centred on the screen.
BrowsePlacement PlaceBrowseDialog(int formLeft, int formTop, int formWidth, int formHeight, int screenWidth,
                                  int screenHeight);

}  // namespace tess
