add_executable(pop3_crash ${CMAKE_CURRENT_LIST_DIR}/pop3_crash.cpp)
target_link_libraries(pop3_crash PRIVATE tarnwell_test_support)
# It kills and checks the built program itself.
add_dependencies(pop3_crash tarnwell)
target_compile_definitions(pop3_crash PRIVATE TARNWELL_BINARY="$<TARGET_FILE:tarnwell>")
tarnwell_warnings(pop3_crash)
