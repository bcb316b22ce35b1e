# The disk index benchmark: DBI against SQLite and std::multimap (the bench
# program alone links sqlite3; the product does not).
find_library(VELMAR_SQLITE3 sqlite3)
if(VELMAR_SQLITE3)
  add_executable(velmar-index-bench ${CMAKE_CURRENT_LIST_DIR}/index_bench.cpp)
  target_link_libraries(velmar-index-bench PRIVATE velmar_index ${VELMAR_SQLITE3})
  target_include_directories(velmar-index-bench PRIVATE ${PROJECT_SOURCE_DIR})
endif()
