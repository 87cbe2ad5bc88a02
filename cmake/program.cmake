# The Windows program: ANSI throughout, no exceptions or RTTI (so no unwind tables either),
# runtime linked statically.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
add_compile_options(-Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
                    -fexec-charset=CP932 -Wall -Wextra -ffunction-sections -fdata-sections)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 _WIN32_IE=0x0600 NOMINMAX)
target_compile_options(sitewake_core PRIVATE -Os -fno-exceptions -fno-rtti -fexec-charset=CP932)
target_link_libraries(sitewake_core PUBLIC ws2_32 secur32 crypt32)

add_executable(Sitewake WIN32
  # the application, the main window and its handlers, the dialogs it opens, tray, menus
  app/monitor_app.cpp
  app/monitor_dlg.cpp
  app/about_dlg.cpp
  app/add_site_dlg.cpp
  app/tray.cpp
  app/site_commands.cpp
  app/site_transfer.cpp
  app/snapshot_commands.cpp
  app/site_marks.cpp
  app/check_marks.cpp
  app/balloon_news.cpp
  app/context_menu.cpp
  app/compare_mode.cpp
  app/worker_requests.cpp
  app/screen_scaling.cpp
  app/start_failure.cpp
  app/options_dlg.cpp
  app/start_options.cpp
  app/single_instance.cpp
  app/site_settings_dlg.cpp
  app/site_settings_commands.cpp
  # the subsystems' window-side parts
  registry/profile.cpp
  registry/data_paths.cpp
  registry/data_home.cpp
  registry/registry_file.cpp
  registry/site_registration.cpp
  registry/site_list_loader.cpp
  registry/logon_start.cpp
  acquisition/worker.cpp
  acquisition/worker_link.cpp
  viewer/snapshot_list.cpp
  viewer/snapshot_files.cpp
  viewer/browser_launcher.cpp
  # window-system wrappers
  ui/dialog.cpp
  ui/message_wait.cpp
  ui/screen_dpi.cpp
  res/sitewake.rc
)
# Files the resource script takes in whole, which CMake's scan of its includes does not see.
set_source_files_properties(res/sitewake.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/res/sitewake.manifest;${CMAKE_SOURCE_DIR}/res/sitewake.ico")
target_link_libraries(Sitewake PRIVATE sitewake_core comctl32 comdlg32 shell32 user32 gdi32 ws2_32 advapi32)
# No link time stamp: the same source builds the same exe (scripts/package.sh).
target_link_options(Sitewake PRIVATE -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections
                    -Wl,--no-insert-timestamp)
set_target_properties(Sitewake PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
