# Waveform overview files: the format, stamp names and the cache folder.
target_sources(hrl_model PRIVATE
  wvf.cpp
  wvfcache.cpp
)

hrl_test(model_wvf_test
  SOURCES tests/wvf_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_host)

hrl_fuzz(wvf_reader_fuzz
  SOURCES tests/wvf_reader_fuzz.cpp
  LIBS hrl_model)
