# Sources of the platform seam: neutral files in QV_SOURCES, Win32 files in QV_WIN32_SOURCES.
list(APPEND QV_SOURCES
  platform/utf16.cpp
  platform/registry.cpp
)
list(APPEND QV_WIN32_SOURCES
)
