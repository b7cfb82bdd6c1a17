# The Linux build: what the core needs beyond Win32's names, and velloran
# with its window and warning boxes.
find_path(ODBCINST_INCLUDE_DIR odbcinst.h REQUIRED)
target_sources(velloran_core PRIVATE
  platform/unix/dynamic_library.cpp
  platform/unix/file_handle.cpp
  platform/unix/module_file_name.cpp
  platform/unix/profile.cpp
  platform/unix/strings.cpp
  platform/unix/stop_signals.cpp
  platform/unix/heap_retention.cpp)
target_include_directories(velloran_core PUBLIC ${ODBCINST_INCLUDE_DIR})
target_link_libraries(velloran_core PUBLIC ${CMAKE_DL_LIBS})
# The warning boxes and the launcher window draw with FLTK, linked
# statically (Debian ships libfltk.a) with the X libraries that
# `fltk-config --ldstaticflags` names. Only the program links it: the
# run's MessageBoxA is resolved when an executable is linked, and the
# checker and the tests never show a box.
find_path(FLTK_INCLUDE_DIR FL/Fl.H REQUIRED)
find_library(FLTK_STATIC_LIBRARY libfltk.a REQUIRED)
find_package(X11 REQUIRED COMPONENTS Xrender Xcursor Xfixes Xext Xft Xinerama)
find_package(Fontconfig REQUIRED)
find_package(Threads REQUIRED)
add_library(velloran_message_box STATIC
  platform/unix/message_box.cpp
  platform/unix/warning_box.cpp)
target_include_directories(velloran_message_box PUBLIC
  platform/unix ${ODBCINST_INCLUDE_DIR} ${FLTK_INCLUDE_DIR})
target_link_libraries(velloran_message_box PUBLIC ${FLTK_STATIC_LIBRARY}
  X11::Xrender X11::Xcursor X11::Xfixes X11::Xext X11::Xft Fontconfig::Fontconfig
  X11::Xinerama Threads::Threads m X11::X11)
add_library(velloran_command_tail STATIC launcher/unix/command_tail.cpp)
target_include_directories(velloran_command_tail PUBLIC launcher/unix)
add_executable(velloran launcher/unix/main.cpp launcher/unix/launcher_window.cpp)
target_include_directories(velloran PRIVATE launcher)
# The core first: its run calls the box's MessageBoxA.
target_link_libraries(velloran PRIVATE velloran_core velloran_command_tail velloran_message_box)
