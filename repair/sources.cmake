# Sources of the repair subsystem: neutral files in QV_SOURCES, Win32 files (in win32/) in QV_WIN32_SOURCES.
list(APPEND QV_SOURCES
  repair/backup_format.cpp
  repair/backup_file.cpp
)
list(APPEND QV_WIN32_SOURCES
)
