# Window-free acquisition sources (fetch, comparison, stamps, snapshot store) and the thin
# platform layer under them: Winsock and Win32 files in the program, POSIX natively.
set(ACQUISITION_NEUTRAL_SOURCES
)
