# The window-free core, listed once: the program, the native unit tests, the fuzzers and the
# benchmarks all build these same files. The thin platform layer under them is Winsock and
# Win32 files in the program, POSIX natively.
set(SITEWAKE_CORE_SOURCES
  base/cp932.cpp
  base/decimal.cpp
  base/local_time.cpp
  base/text_join.cpp
  registry/site_registry.cpp
  registry/program_options.cpp
  registry/setting_text.cpp
  registry/watch_table.cpp
  acquisition/file_copy.cpp
  acquisition/check_record.cpp
  acquisition/check_schedule.cpp
  acquisition/fetch_outcome.cpp
  acquisition/files_differ.cpp
  acquisition/page_comparison.cpp
  acquisition/host_lookup.cpp
  acquisition/http_fetch.cpp
  acquisition/response_head.cpp
  acquisition/row_cursor.cpp
  acquisition/site_paths.cpp
  registry/site_folder.cpp
  registry/site_list_export.cpp
  registry/site_list_import.cpp
  registry/known_urls.cpp
  acquisition/snapshot_store.cpp
  acquisition/tcp_connection.cpp
  acquisition/text_encoding.cpp
  acquisition/url.cpp
  acquisition/page_charset.cpp
  acquisition/visible_text.cpp
  acquisition/visible_text_compare.cpp
  acquisition/page_text_reader.cpp
  acquisition/part_filter.cpp
  acquisition/part_comparison.cpp
  viewer/line_diff.cpp
  viewer/line_table.cpp
  viewer/text_sources.cpp
  viewer/diff_page.cpp
  viewer/comparison_page.cpp
  viewer/seen_mark.cpp
)
if(WIN32)
  list(APPEND SITEWAKE_CORE_SOURCES acquisition/file_win32.cpp acquisition/socket_win32.cpp
       acquisition/charset_win32.cpp acquisition/tls_stream_win32.cpp)
else()
  list(APPEND SITEWAKE_CORE_SOURCES acquisition/file_posix.cpp acquisition/socket_posix.cpp
       acquisition/charset_posix.cpp acquisition/tls_stream_posix.cpp)
endif()
list(TRANSFORM SITEWAKE_CORE_SOURCES PREPEND "${PROJECT_SOURCE_DIR}/")
