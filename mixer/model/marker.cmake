# The marker list, its heap and the edits of the current list.
target_sources(hrl_model PRIVATE
  blockheap.cpp
  marker.cpp
)

hrl_test(model_marker_test
  SOURCES tests/marker_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_mrkdir hrl_fake_host)
