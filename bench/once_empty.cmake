add_executable(once_empty ${CMAKE_CURRENT_LIST_DIR}/once_empty.cpp)
target_link_libraries(once_empty PRIVATE tarnwell_test_support)
# It times the built program itself.
add_dependencies(once_empty tarnwell)
target_compile_definitions(once_empty PRIVATE TARNWELL_BINARY="$<TARGET_FILE:tarnwell>")
tarnwell_warnings(once_empty)
