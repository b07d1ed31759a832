add_executable(killed_page ${CMAKE_CURRENT_LIST_DIR}/ui/killed_page.cpp)
target_link_libraries(killed_page PRIVATE tarnwell_mainwindow_ui tarnwell_app)
tarnwell_warnings(killed_page)
