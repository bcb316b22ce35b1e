# Times one command's CPU and peak memory for bench/stats-bench.
if(NOT WIN32)
  add_executable(velmar-cputime ${CMAKE_CURRENT_LIST_DIR}/cputime.cpp)
endif()
