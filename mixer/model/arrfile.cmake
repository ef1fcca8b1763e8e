# The arrangement file: its versions, the writer, the reader, merging and
# flattening.
target_sources(hrl_model PRIVATE arrfile.cpp)

hrl_test(model_arrfile_test
  SOURCES tests/arrfile_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_mrkdir hrl_fake_units hrl_fake_host)

hrl_fuzz(arrfile_fuzz
  SOURCES tests/arrfile_fuzz.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_mrkdir hrl_fake_units hrl_fake_host)
