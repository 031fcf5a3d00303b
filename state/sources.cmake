# Sources of the state subsystem: neutral files in QV_SOURCES, Win32 files (in win32/) in QV_WIN32_SOURCES.
list(APPEND QV_SOURCES
  state/text_file.cpp
  state/time_format.cpp
  state/data_folder.cpp
  state/settings.cpp
  state/activity_log.cpp
  state/category_settings.cpp
)
list(APPEND QV_WIN32_SOURCES
)
