#include "mixer/model/settings.h"

ProjectSettings& Settings() {
  static ProjectSettings settings;
  return settings;
}

Locators& Locs() {
  static Locators locators;
  return locators;
}
