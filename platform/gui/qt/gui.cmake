# The window on Linux desktops. Qt lives in a module of its own, loaded by the chooser only
# when a window is made, so that the terminal line never loads Qt. The build puts the module
# next to the program; an installed tree puts it in a folder of its own, which the chooser
# finds from the program's folder, so that any prefix works. The module asks the X11 window
# manager for the frame through xcb, which Qt's own X11 support uses.
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
file(RELATIVE_PATH _module_dir /${LUMBRAKE_INSTALL_BINDIR} /${LUMBRAKE_INSTALL_MODULEDIR})
target_compile_definitions(lumbrake_gui PRIVATE LUMBRAKE_QT_MODULE_DIR="${_module_dir}")
target_link_libraries(lumbrake_gui PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(lumbrake_gui lumbrake_qt)
