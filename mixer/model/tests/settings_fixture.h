// Shared set-up of the settings tests: default settings, locators and
// record-track states, a clean service log, and the transport stopped.
#pragma once

#include <gtest/gtest.h>

#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/units/services.h"
#include "tests/fakes/services_fake.h"

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = ProjectSettings();
    Locs() = Locators();
    RecTrkState() = RecTrkStateTable{};
    Services().Reset();
  }
  static void SetTransport(int state) { Services().transportState = state; }
  static const ServicesFake& Log() { return Services(); }
};
