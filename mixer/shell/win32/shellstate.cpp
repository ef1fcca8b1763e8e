#include "mixer/shell/win32/shell.h"

ShellState& Shell() {
  static ShellState state;
  return state;
}
