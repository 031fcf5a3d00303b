# Sources of the engine subsystem: neutral files in QV_SOURCES, Win32 files (in win32/) in QV_WIN32_SOURCES.
list(APPEND QV_SOURCES
)
list(APPEND QV_WIN32_SOURCES
)
