#pragma once
// The captions of the file list's view menu (its own header: the list of every text is
// included nearly everywhere, and these concern the main window alone).
namespace tess::texts {

inline constexpr char16_t kMenuView[] = u"表示";
inline constexpr char16_t kMenuViewThumbnails[] = u"縮小版";
inline constexpr char16_t kMenuViewDetails[] = u"詳細";
inline constexpr char16_t kMenuViewPreview[] = u"プレビュー";

}  // namespace tess::texts
