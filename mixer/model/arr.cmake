# The arrangement: its block, list primitives and queries, and its heap.
target_sources(hrl_model PRIVATE
  arr.cpp
  arrheap.cpp
  arrsections.cpp
  arroverlap.cpp
  arrsel.cpp
  arrlinks.cpp
  arrxfade.cpp
)

hrl_test(model_arr_test
  SOURCES tests/arr_list_test.cpp tests/arr_query_test.cpp tests/arr_sections_test.cpp
          tests/arr_links_test.cpp tests/arr_xfade_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_host)
