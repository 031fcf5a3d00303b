# Sources of the engine subsystem: neutral files in QV_SOURCES, Win32 files (in win32/) in QV_WIN32_SOURCES.
list(APPEND QV_SOURCES
  engine/text_case.cpp
  engine/categories.cpp
  engine/registry_problem.cpp
  engine/key_naming.cpp
  engine/path_references.cpp
  engine/registry_cleaner.cpp
)
list(APPEND QV_WIN32_SOURCES
)
