# Reads records through the event log layer, at random or in order: run by
# bench/evt-bench. It measures the stand-in layer, which a Windows build
# does not have.
if(NOT WIN32)
  add_executable(evt-bench-read ${CMAKE_CURRENT_LIST_DIR}/evt_bench_read.cpp)
  velmar_product(evt-bench-read)
  target_link_libraries(evt-bench-read PRIVATE velmar_platform)
  set_target_properties(evt-bench-read PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
endif()
