# The Windows program: ANSI throughout, no exceptions or RTTI, runtime linked statically.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
add_compile_options(-Os -fno-exceptions -fno-rtti -fexec-charset=CP932 -Wall -Wextra
                    -ffunction-sections -fdata-sections)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 _WIN32_IE=0x0600 NOMINMAX)
target_compile_options(sitewake_core PRIVATE -Os -fno-exceptions -fno-rtti -fexec-charset=CP932)
target_link_libraries(sitewake_core PUBLIC ws2_32 secur32 crypt32)

add_executable(Sitewake WIN32
  app/monitor_app.cpp
  app/dialog.cpp
  app/monitor_dlg.cpp
  app/about_dlg.cpp
  app/tray.cpp
  app/message_wait.cpp
  registry/profile.cpp
  registry/site_list_loader.cpp
  registry/data_paths.cpp
  registry/add_site_dlg.cpp
  registry/site_commands.cpp
  registry/registry_file.cpp
  acquisition/worker.cpp
  acquisition/worker_link.cpp
  app/worker_requests.cpp
  app/site_marks.cpp
  app/context_menu.cpp
  app/compare_mode.cpp
  viewer/snapshot_list.cpp
  viewer/snapshot_files.cpp
  viewer/browser_launcher.cpp
  res/sitewake.rc
)
target_link_libraries(Sitewake PRIVATE sitewake_core comctl32 shell32 user32 gdi32 ws2_32)
target_link_options(Sitewake PRIVATE -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections)
set_target_properties(Sitewake PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
