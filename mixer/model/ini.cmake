# The ini layer over the profile store: readers and writers with aliases and
# built-in defaults, window records, track colour tables, settings records.
target_sources(hrl_model PRIVATE
  ini.cpp
  inidefaults.cpp
  iniwindow.cpp
  trkcolors.cpp
  inirecords.cpp
)

hrl_test(model_ini_test
  SOURCES tests/ini_test.cpp tests/ini_colors_test.cpp
  LIBS hrl_model)

hrl_fuzz(ini_fuzz SOURCES tests/ini_fuzz.cpp LIBS hrl_model)
