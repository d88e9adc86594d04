# The native window on Windows: user32, gdi32, the common controls (the progress bar) and
# Uniscribe (the label's text).
target_sources(lumbrake_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/application.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/dpi.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/form.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/label.cpp)
target_link_libraries(lumbrake_gui PUBLIC comctl32 gdi32 user32 usp10)
