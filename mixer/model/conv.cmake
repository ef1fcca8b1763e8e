# Positions, time code and snapping.
target_sources(hrl_model PRIVATE
  settings.cpp
  textfields.cpp
  timecode.cpp
  musical.cpp
  snap.cpp
)

hrl_test(model_conv_timecode_test
  SOURCES tests/conv_timecode_test.cpp
  LIBS hrl_model hrl_fake_host)
hrl_test(model_conv_text_test
  SOURCES tests/conv_text_test.cpp
  LIBS hrl_model hrl_fake_host)
hrl_test(model_conv_musical_test
  SOURCES tests/conv_musical_test.cpp
  LIBS hrl_model hrl_fake_host)
hrl_test(model_conv_snap_test
  SOURCES tests/conv_snap_test.cpp
  LIBS hrl_model hrl_fake_host)
