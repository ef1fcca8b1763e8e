# The tempo and meter map and its import from standard MIDI files.
target_sources(hrl_model PRIVATE
  tempomap.cpp
  tempoimport.cpp
)

hrl_test(model_tempo_map_test
  SOURCES tests/tempo_map_test.cpp tests/tempo_musical_test.cpp
  LIBS hrl_model hrl_fake_host)
hrl_test(model_tempo_import_test
  SOURCES tests/tempo_import_test.cpp
  LIBS hrl_model hrl_fake_host)

hrl_fuzz(tempo_map_fuzz
  SOURCES tests/tempo_map_fuzz.cpp
  LIBS hrl_model hrl_smf)
