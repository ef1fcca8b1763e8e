#include "modal_closer.h"

#include "mixer/model/win32/appwnd.h"

ModalCloser* ModalCloser::active_ = nullptr;

ModalCloser::ModalCloser(int button, std::function<void(HWND)> inspect)
    : button_(button), inspect_(std::move(inspect)) {
  active_ = this;
  timer_ = SetTimer(nullptr, 0, 20, OnTimer);
}

ModalCloser::~ModalCloser() {
  if (timer_) KillTimer(nullptr, timer_);
  active_ = nullptr;
}

BOOL CALLBACK ModalCloser::FindDialog(HWND wnd, LPARAM self) {
  ModalCloser* closer = reinterpret_cast<ModalCloser*>(self);
  char cls[16];
  if (IsWindowVisible(wnd) && GetClassNameA(wnd, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0) {
    if (closer->skip_ && closer->skip_(wnd)) return TRUE;
    closer->found_ = wnd;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK ModalCloser::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (active_) active_->Poll();
}

void ModalCloser::Poll() {
  ModalCloser* self = this;
  if (self->seen_.found) return;
  found_ = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(this));
  HWND box = found_;
  if (!box) return;
  self->seen_.found = true;
  char buf[1024];
  GetWindowTextA(box, buf, sizeof buf);
  self->seen_.caption = buf;
  buf[0] = '\0';
  GetDlgItemTextA(box, 0xFFFF, buf, sizeof buf);
  self->seen_.text = buf;
  self->seen_.modalCount = ModalCount();
  if (self->inspect_) self->inspect_(box);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(self->button_, BN_CLICKED), 0);
}
