# The Windows build of velloran: a GUI executable with the static runtime
# and the version resource.
enable_language(RC)
add_executable(velloran WIN32
  launcher/win/main.cpp
  launcher/win/launcher_window.cpp
  resources/version.rc)
target_include_directories(velloran PRIVATE launcher)
# Static runtime: the executable needs only the system's own DLLs.
target_link_options(velloran PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(velloran PRIVATE velloran_core)
