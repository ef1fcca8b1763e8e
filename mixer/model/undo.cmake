# The undo store: snapshot arrays of the arrangement and marker list, the
# step records and the Edit menu texts.
target_sources(hrl_model PRIVATE
  undosnap.cpp
  undo.cpp
)

hrl_test(model_undo_test
  SOURCES tests/undo_test.cpp tests/undo_random_test.cpp tests/undo_journal_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_mrkdir hrl_fake_host)
