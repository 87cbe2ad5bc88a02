# Window-free acquisition sources (fetch, comparison, stamps, snapshot store) and the thin
# platform layer under them: Winsock and Win32 files in the program, POSIX natively.
set(ACQUISITION_NEUTRAL_SOURCES
  acquisition/file_copy.cpp
  acquisition/files_differ.cpp
  acquisition/http_fetch.cpp
  acquisition/snapshot_stamp.cpp
  acquisition/snapshot_store.cpp
)
if(WIN32)
  list(APPEND ACQUISITION_NEUTRAL_SOURCES acquisition/file_win32.cpp acquisition/tcp_win32.cpp)
else()
  list(APPEND ACQUISITION_NEUTRAL_SOURCES acquisition/file_posix.cpp acquisition/tcp_posix.cpp)
endif()
