#pragma once
// The preview pane (プレビュー) right of the file list: the focused photo larger, turned as
// shot, with its name, shooting date, camera and pixel size under it. The picture is read
// on a worker; the pane shows the lines at once and the picture when it comes.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "browse/Preview.h"
#include "records/FileRecord.h"
#include "platform/win/WinControls.h"

namespace tess {

class PreviewPane : public WindowBase {
 public:
  // decoder: the system's unless replaced (tests).
  PreviewPane(HWND parent, int id, HINSTANCE instance, ImageDecoder* decoder = nullptr);
  ~PreviewPane() override;

  // Shows the file at path, described by record; an empty path or a folder clears the pane.
  void ShowFile(const std::u16string& path, const FileRecord* record);
  void SetFont(HFONT font);

  // What the pane shows: the file, its picture (empty until read) and its lines.
  const std::u16string& ShownPath() const { return path_; }
  const Bitmap& Picture() const { return picture_.bitmap; }
  std::vector<std::u16string> Lines() const;
  // Whether a picture was asked for and has not come yet.
  bool Waiting() const { return waiting_; }

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void Paint(HDC dc);
  // The box the picture is fitted to: the client area above the lines.
  RECT PictureBox() const;
  int LinesHeight() const;
  // Asks the picture for the pane's size now (visible: the pane is, or is becoming, shown).
  void AskPicture(bool visible);
  void TakePicture();

  std::unique_ptr<PreviewReads> reads_;
  HFONT font_ = nullptr;
  std::u16string path_;
  bool wantsPicture_ = false;
  bool waiting_ = false;
  PreviewPicture picture_;
  std::vector<std::u16string> info_;  // name, date, camera
  SIZE askedBox_{0, 0};
};

}  // namespace tess
