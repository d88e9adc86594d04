# The terminal line: always there on Linux, where no display is.
target_sources(lumbrake_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tty.cpp)
