add_executable(mime_decode ${CMAKE_CURRENT_LIST_DIR}/mime_decode.cpp)
target_link_libraries(mime_decode PRIVATE tarnwell_message)
tarnwell_warnings(mime_decode)
