# Fails when the program PROGRAM imports from a DLL of windows (user32, gdi32, the common
# controls and dialogs): run after linking a test program of a windowless layer, so that a
# window call that reached such a layer stops the build. Usage:
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<file.exe> -P windowless-imports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot read the imports of ${PROGRAM}")
endif()
string(TOLOWER "${dump}" dump)
foreach(dll user32 gdi32 comctl32 comdlg32)
  if(dump MATCHES "dll name: ${dll}\\.dll")
    file(REMOVE ${PROGRAM})
    message(FATAL_ERROR "${PROGRAM} imports from ${dll}.dll: a windowless layer calls a window function")
  endif()
endforeach()
