# Run by the layer_order test (cmake -P): proves that the build refuses an include that points up
# the layer order. For each layer, in order, a file that includes one header of that layer must
# compile with the layer's own include folders, and a file that includes a header of any layer
# above it must not.
#
# A layer beside the main line (one that stands on some of the layers before it, as controls
# stands on engine beside repair and app) gives BELOW_L, the layers it stands on: it must see
# itself and those, nothing else, and no layer of the main line may see it.
#
# Variables: COMPILER, WORK (a scratch folder), LAYERS (names, lowest first), and for each layer
# L: HEADER_L (a header of L, as included), INCLUDES_L (its include folders) and optionally
# BELOW_L. Lists come '|'-separated (a ';' would split the test's command line).
file(MAKE_DIRECTORY ${WORK})
string(REPLACE "|" ";" LAYERS "${LAYERS}")
set(failures "")
list(LENGTH LAYERS count)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  list(GET LAYERS ${i} layer)
  set(flags -std=c++20 -fsyntax-only)
  string(REPLACE "|" ";" includes "${INCLUDES_${layer}}")
  foreach(dir ${includes})
    list(APPEND flags -I${dir})
  endforeach()
  foreach(j RANGE ${last})
    list(GET LAYERS ${j} other)
    set(probe ${WORK}/${layer}_includes_${other}.cpp)
    file(WRITE ${probe} "#include \"${HEADER_${other}}\"\n")
    execute_process(COMMAND ${COMPILER} ${flags} ${probe} RESULT_VARIABLE rc OUTPUT_QUIET
                    ERROR_QUIET)
    if(DEFINED BELOW_${layer})
      string(REPLACE "|" ";" below "${BELOW_${layer}}")
      list(FIND below ${other} at)
      if(j EQUAL i OR NOT at EQUAL -1)
        set(visible TRUE)
      else()
        set(visible FALSE)
      endif()
    elseif(j LESS_EQUAL i AND NOT DEFINED BELOW_${other})
      set(visible TRUE)
    else()
      set(visible FALSE)
    endif()
    if(visible AND NOT rc EQUAL 0)
      string(APPEND failures "  ${layer} cannot include its own or a lower layer's ${HEADER_${other}}\n")
    elseif(NOT visible AND rc EQUAL 0)
      string(APPEND failures "  ${layer} can include ${HEADER_${other}} of a layer it is not above\n")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "layer order not enforced:\n${failures}")
endif()
message(STATUS "layer order enforced for: ${LAYERS}")
