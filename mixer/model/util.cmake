# Paths, strings, numbers, fades and progress arithmetic.
target_sources(hrl_model PRIVATE
  paths.cpp
  strutil.cpp
  speaker.cpp
  numbers.cpp
  fade.cpp
  progress.cpp
  datetext.cpp
  docnames.cpp
)

hrl_test(model_util_strings_test
  SOURCES tests/util_strings_test.cpp
  LIBS hrl_model hrl_fake_host)
hrl_test(model_util_paths_test
  SOURCES tests/util_paths_test.cpp
  LIBS hrl_model hrl_fake_host)
hrl_test(model_util_speaker_test
  SOURCES tests/util_speaker_test.cpp
  LIBS hrl_model hrl_fake_host)
hrl_test(model_util_numbers_test
  SOURCES tests/util_numbers_test.cpp tests/util_fade_test.cpp tests/util_progress_test.cpp
  LIBS hrl_model hrl_fake_host)
hrl_test(model_util_docs_test
  SOURCES tests/util_datetext_test.cpp tests/util_docnames_test.cpp
  LIBS hrl_model hrl_fake_host)
