// Recording stand-in for the host interface (host.h): every box is recorded
// with its formatted text, and answered from a script (kIdOk when empty).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "mixer/model/host.h"

struct HostBox {
  WndHandle owner;
  uint32_t id;  // 0 for MessageBoxText
  uint32_t flags;
  std::string text;
};

struct HostFake {
  std::vector<HostBox> boxes;
  std::deque<int> answers;

  void Reset() {
    boxes.clear();
    answers.clear();
  }
};

HostFake& Host();
