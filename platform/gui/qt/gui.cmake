# The window on Linux desktops. Qt lives in a module of its own, loaded by the chooser only
# when a window is made, so that the terminal line never loads Qt. The module goes next to
# the program, where the chooser looks first; the build tree's copy is its second place. It
# asks the X11 window manager for the frame through xcb, which Qt's own X11 support uses.
add_library(lumbrake_qt MODULE ${CMAKE_CURRENT_LIST_DIR}/application.cpp
                               ${CMAKE_CURRENT_LIST_DIR}/frame.cpp
                               ${CMAKE_CURRENT_LIST_DIR}/window.cpp
                               ${CMAKE_CURRENT_LIST_DIR}/../path_fit.cpp)
target_link_libraries(lumbrake_qt PRIVATE Qt6::Widgets xcb)
target_include_directories(lumbrake_qt PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(lumbrake_qt PROPERTIES PREFIX "" OUTPUT_NAME lumbrake-qt
                      LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/app)
lumbrake_target(lumbrake_qt)

target_sources(lumbrake_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/chooser.cpp)
target_compile_definitions(lumbrake_gui PRIVATE LUMBRAKE_QT_MODULE="$<TARGET_FILE:lumbrake_qt>")
target_link_libraries(lumbrake_gui PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(lumbrake_gui lumbrake_qt)
