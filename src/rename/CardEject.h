#pragma once
// 完了後にカードを取り出す: after a real run that filed everything, the drive the photos came
// from is ejected as the main window's eject button does it, and the log says what came of
// it. The eject itself is the main window's (it lets go of what its panes hold on the
// drive first); what is ejected and the line it gives are decided here.
#include <string>
#include <vector>

#include "rename/RenameJob.h"
#include "rename/RenameRun.h"

namespace tess {

enum class CardEjectOutcome {
  Ejected,
  NotRemovable,  // a fixed disk, a network drive: left alone
  InUse,         // files on it stay open in another program: the lock was never had
  Failed,        // the system refused a step; the reason says which
};

struct CardEjectResult {
  CardEjectOutcome outcome = CardEjectOutcome::Failed;
  std::u16string reason;  // the system's text, for Failed
};

// Whether a run ends with the eject: a real run that filed every photo, only when asked.
// Never after a test, a failure, a refusal or a cancel: the card holds what is left to do.
bool EjectsAfterRun(bool asked, RenameMode mode, RenameOutcome outcome);

// The drives the photos were read from ("E:\"), each once, in the order of the photos; a
// photo on no drive letter (a network path) gives its share's path.
std::vector<std::u16string> SourceDrives(const std::vector<RenamePhoto>& photos);

// The log's line for one drive.
std::u16string CardEjectLine(const std::u16string& drive, const CardEjectResult& result);

}  // namespace tess
