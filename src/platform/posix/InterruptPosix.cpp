#include <signal.h>
#include <unistd.h>

#include "platform/Interrupt.h"

namespace tess {
namespace {

CancelToken interrupted;

void OnInterrupt(int) { interrupted.Cancel(); }

}  // namespace

const CancelToken& CancelOnInterrupt() {
  static const bool installed = [] {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGINT, &action, nullptr) == 0;
  }();
  (void)installed;
  return interrupted;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace tess
