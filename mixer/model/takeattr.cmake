# Take attributes, the byte transfer of log Takes and the sample transfer of
# Audio Takes with the recorder's threads.
target_sources(hrl_model PRIVATE
  takeattr.cpp
  takeio.cpp
  taketime.cpp
)

hrl_test(model_takeattr_test
  SOURCES tests/takeattr_test.cpp tests/takeio_test.cpp tests/taketime_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_host
  LABELS threaded)
