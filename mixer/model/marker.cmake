# The marker list, its heap and the edits of the current list.
target_sources(hrl_model PRIVATE
  blockheap.cpp
  marker.cpp
)
# The heaps' private heaps: Win32 heaps in the Windows builds.
if(HRL_WIN)
  target_sources(hrl_model PRIVATE win32/sysheap_win.cpp)
else()
  target_sources(hrl_model PRIVATE sysheap_std.cpp)
endif()

hrl_test(model_marker_test
  SOURCES tests/marker_test.cpp
  LIBS hrl_model hrl_fake_services hrl_fake_mrkdir hrl_fake_host)
