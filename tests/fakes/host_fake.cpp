#include "host_fake.h"

#include <cstdarg>

#include "mixer/model/util/format.h"

HostFake& Host() {
  static HostFake fake;
  return fake;
}

static int Record(WndHandle owner, uint32_t id, uint32_t flags, const char* text) {
  HostFake& h = Host();
  h.boxes.push_back({owner, id, flags, text});
  if (h.answers.empty()) return kIdOk;
  int answer = h.answers.front();
  h.answers.pop_front();
  return answer;
}

int MessageBoxById(WndHandle owner, uint32_t id, uint32_t flags, ...) {
  char text[kMsgTextMax];
  va_list args;
  va_start(args, flags);
  FormatByIdV(text, sizeof text, id, args);
  va_end(args);
  return Record(owner, id, flags, text);
}

int MessageBoxText(WndHandle owner, const char* format, uint32_t flags, ...) {
  char fmt[kMsgFormatMax + 1];
  FormatText(fmt, sizeof fmt, "%s", format);
  char text[kMsgTextMax];
  va_list args;
  va_start(args, flags);
  FormatTextV(text, sizeof text, fmt, args);
  va_end(args);
  return Record(owner, 0, flags, text);
}
