# Project settings, locators and record-ready state.
target_sources(hrl_model PRIVATE
  arrparam.cpp
  locators.cpp
  recready.cpp
)

hrl_test(model_settings_param_test
  SOURCES tests/settings_param_test.cpp tests/settings_locator_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_mrkdir hrl_fake_host)
hrl_test(model_settings_recready_test
  SOURCES tests/settings_recready_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_mrkdir hrl_fake_host)
