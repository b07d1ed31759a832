tarnwell_fuzz_target(fuzz_display DEPS tarnwell_message)
# The display text of the command line's lists lives with the program, not in a library.
target_sources(fuzz_display PRIVATE ${CMAKE_SOURCE_DIR}/program/DisplayText.cpp)
