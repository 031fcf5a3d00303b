# Sources of the platform seam: neutral files in QV_SOURCES, Win32 files in QV_WIN32_SOURCES.
list(APPEND QV_SOURCES
  platform/utf16.cpp
  platform/registry.cpp
  platform/memory/text_case.cpp
  platform/memory/memory_registry.cpp
  platform/memory/memory_file_system.cpp
  platform/memory/memory_shell.cpp
  platform/memory/fake_clock.cpp
  platform/memory/memory_platform.cpp
)
list(APPEND QV_WIN32_SOURCES
  platform/win32/registry_editor_win32.cpp
  platform/win32/win32_registry.cpp
  platform/win32/win32_file_system.cpp
  platform/win32/win32_shell.cpp
  platform/win32/win32_clock.cpp
)
