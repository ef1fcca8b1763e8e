# Progress arithmetic and the names of the current documents.
target_sources(hrl_model PRIVATE
  progress.cpp
  docnames.cpp
)

hrl_test(model_util_progress_test
  SOURCES tests/util_progress_test.cpp
  LIBS hrl_model hrl_fake_host)
hrl_test(model_util_docs_test
  SOURCES tests/util_docnames_test.cpp
  LIBS hrl_model hrl_fake_host)
