# velloran on Linux and its window module, built from launcher/ (paths are
# relative to it).
add_library(velloran_command_tail STATIC unix/command_tail.cpp)
target_include_directories(velloran_command_tail PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/unix)

set(VELLORAN_WINDOW_MODULE window.so)

# velloran links no GUI library: MessageBoxA writes to standard error until
# the window module, loaded only when DISPLAY is set, gives it a box.
add_executable(velloran
  unix/main.cpp
  unix/load_window_module.cpp
  unix/message_box.cpp)
target_compile_definitions(velloran PRIVATE
  WINDOW_MODULE_PATH="../${VELLORAN_MODULE_DIR}/${VELLORAN_WINDOW_MODULE}")
target_link_libraries(velloran PRIVATE velloran_odbcinstall velloran_command_tail)
# The C++ runtime linked in: mapping libstdc++ and what it needs was about
# half of a headless run's start-up. What velloran hands the window module
# is plain C data and functions, so the module's own libstdc++ never meets
# this copy's objects.
target_link_options(velloran PRIVATE -static-libstdc++ -static-libgcc)

# The launcher window and the warning boxes draw with FLTK, linked statically
# (Debian ships libfltk.a) into the module, which needs the X libraries that
# `fltk-config --ldstaticflags` names. The module exports its entry alone:
# FLTK's symbols stay inside it.
find_path(FLTK_INCLUDE_DIR FL/Fl.H REQUIRED)
find_library(FLTK_STATIC_LIBRARY libfltk.a REQUIRED)
find_package(X11 REQUIRED COMPONENTS Xrender Xcursor Xfixes Xext Xft Xinerama)
find_package(Fontconfig REQUIRED)
find_package(Threads REQUIRED)
add_library(velloran_window MODULE
  unix/window_module.cpp
  unix/launcher_window.cpp
  unix/warning_box.cpp)
target_include_directories(velloran_window PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/unix
  $<TARGET_PROPERTY:velloran_platform,INTERFACE_INCLUDE_DIRECTORIES>
  ${FLTK_INCLUDE_DIR})
target_link_libraries(velloran_window PRIVATE ${FLTK_STATIC_LIBRARY}
  X11::Xrender X11::Xcursor X11::Xfixes X11::Xext X11::Xft Fontconfig::Fontconfig
  X11::Xinerama Threads::Threads m X11::X11)
target_link_options(velloran_window PRIVATE -Wl,--exclude-libs,ALL)
set_target_properties(velloran_window PROPERTIES
  PREFIX ""
  OUTPUT_NAME window
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${VELLORAN_MODULE_DIR})
# Built with velloran, since velloran looks for it at run time.
add_dependencies(velloran velloran_window)
