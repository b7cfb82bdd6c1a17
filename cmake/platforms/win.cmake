# velloran on Windows, built from launcher/ (paths are relative to it): a
# GUI executable with the static runtime and the version resource.
enable_language(RC)
add_executable(velloran WIN32
  win/main.cpp
  win/launcher_window.cpp
  ${PROJECT_SOURCE_DIR}/resources/version.rc)
target_include_directories(velloran PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# Static runtime: the executable needs only the system's own DLLs.
target_link_options(velloran PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(velloran PRIVATE velloran_odbcinstall)
