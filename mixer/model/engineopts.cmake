# Option getters of the play/record engine, and the version comparison of
# the device interface library.
target_sources(hrl_model PRIVATE
  engineopts.cpp
  drvversion.cpp
)

hrl_test(model_engineopts_test
  SOURCES tests/engineopts_test.cpp
  LIBS hrl_model hrl_fake_units)
