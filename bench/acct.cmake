# Reads an accounting file through the accounting reader: run by
# bench/acct-bench beside wc -l.
add_executable(acct-bench-read ${CMAKE_CURRENT_LIST_DIR}/acct_bench_read.cpp)
velmar_product(acct-bench-read)
target_link_libraries(acct-bench-read PRIVATE velmar_accounting)
set_target_properties(acct-bench-read PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
