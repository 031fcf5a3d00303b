# Warnings as errors for our own code only (third-party targets such as googletest are left alone).
add_library(quarvelo_warnings INTERFACE)
target_compile_options(quarvelo_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(quarvelo_warnings INTERFACE -Wduplicated-cond -Wlogical-op)
endif()
