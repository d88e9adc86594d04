# The terminal line: always there on Linux, where no display is.
target_sources(lumbrake_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tty.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/line.cpp)
# Alone, it is the program's back-end; beside others, their chooser picks it.
list(LENGTH LUMBRAKE_GUI _gui_count)
if(_gui_count EQUAL 1)
  target_sources(lumbrake_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/builtin.cpp)
endif()
