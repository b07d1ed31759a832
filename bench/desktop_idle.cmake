add_executable(desktop_idle ${CMAKE_CURRENT_LIST_DIR}/desktop_idle.cpp)
target_link_libraries(desktop_idle PRIVATE tarnwell_test_support)
# It measures the built program itself.
add_dependencies(desktop_idle tarnwell)
target_compile_definitions(desktop_idle PRIVATE TARNWELL_BINARY="$<TARGET_FILE:tarnwell>")
tarnwell_warnings(desktop_idle)
