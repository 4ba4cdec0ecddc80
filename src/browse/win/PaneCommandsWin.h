#pragma once
// The Windows side of the pane commands: the disk they work on and the way a failed one
// is told to the user. Both panes use these two, so a failure reads the same in either.
#include <windows.h>

#include <functional>
#include <string>

#include "browse/PaneCommands.h"

namespace tess {

// The one way the panes' commands tell the user of a failure: a beep, or the message of the
// system's error or of the shell's operation (unless the shell showed it, or the user
// cancelled), through onError when set, else in a message box of control's window.
void ReportPaneFailure(HWND control, const std::function<void(const std::u16string&)>& onError,
                       const PaneFailure& failure);
// The disk as the pane commands see it.
PaneFiles& PlatformPaneFiles();

}  // namespace tess
