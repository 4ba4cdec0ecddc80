#include <windows.h>

#include <io.h>

#include <cstdio>

#include "platform/Interrupt.h"

namespace tess {
namespace {

CancelToken interrupted;

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  interrupted.Cancel();
  return TRUE;
}

}  // namespace

const CancelToken& CancelOnInterrupt() {
  static const bool installed = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
  (void)installed;
  return interrupted;
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace tess
