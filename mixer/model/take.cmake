# Take files and the Take store, over the model's own file layer (POSIX in
# the native build, Win32 in the Windows builds).
target_sources(hrl_model PRIVATE
  take_header.cpp
  take_store.cpp
  take_files.cpp
  take_journal.cpp
)
if(HRL_WIN)
  target_sources(hrl_model PRIVATE win32/fileio_win.cpp)
else()
  target_sources(hrl_model PRIVATE fileio_posix.cpp)
endif()

hrl_test(model_take_test
  SOURCES tests/take_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_host
  LABELS threaded)

hrl_fuzz(take_header_fuzz
  SOURCES tests/take_header_fuzz.cpp
  LIBS hrl_model)
