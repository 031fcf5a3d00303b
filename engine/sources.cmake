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
# The category checks 0-5 and the shared value-reference check.
list(APPEND QV_SOURCES
  engine/check_support.cpp
  engine/checks.cpp
  engine/checks_com.cpp
  engine/checks_software.cpp
)
# The scan driver (neutral) and its Win32 sink.
list(APPEND QV_SOURCES
  engine/scan_driver.cpp
)
list(APPEND QV_WIN32_SOURCES
  engine/win32/scan_sink_win32.cpp
)
# Safe list and ignore list.
list(APPEND QV_SOURCES
  engine/safe_list_rows.cpp
  engine/exclusion_lists.cpp
)
