// Win32 side of the host interface: the program's message boxes.
#include <windows.h>

#include <cstdarg>

#include "appwnd.h"
#include "mixer/model/util/format.h"
#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/util/strtab.h"

static const char kAppCaption[] = "HRL Mixer";

// The box is task-modal with no owner, so the system disables every window
// of the thread itself; the floating windows go behind it so that it stays
// visible, and the arrange view stops scrolling under it.
static int ShowBox(HWND owner, const char* format, uint32_t flags, va_list args) {
  char text[kMsgTextMax];
  FormatTextV(text, sizeof text, format, args);
  char caption[256];
  if (owner && IsWindow(owner))
    GetWindowTextA(owner, caption, sizeof caption);
  else
    FormatText(caption, sizeof caption, "%s", kAppCaption);

  ModalScope modal;
  FloatWndsZOrder(1);
  int32_t autoScroll = AutoScrollArrWnd;
  AutoScrollArrWnd = 0;
  int button = MessageBoxA(nullptr, text, caption, flags | MB_TASKMODAL);
  AutoScrollArrWnd = autoScroll;
  FloatWndsZOrder(0);
  // Closing a task-modal box enables the thread's windows again, also those
  // that a running long operation holds disabled.
  DisableAppWindowsAgain();
  return button;
}

int MessageBoxById(WndHandle owner, uint32_t id, uint32_t flags, ...) {
  char format[kMsgFormatMax + 1];
  StrLoad(id, format, sizeof format);
  va_list args;
  va_start(args, flags);
  int button = ShowBox(owner, format, flags, args);
  va_end(args);
  return button;
}

int MessageBoxText(WndHandle owner, const char* format, uint32_t flags, ...) {
  char bounded[kMsgFormatMax + 1];
  FormatText(bounded, sizeof bounded, "%s", format ? format : "");
  va_list args;
  va_start(args, flags);
  int button = ShowBox(owner, bounded, flags, args);
  va_end(args);
  return button;
}
