# Makes a delay-import library for one system DLL from its ordinary import
# library: the program then loads that DLL at its first call, not at start.
# Script mode: cmake -DNM=... -DDLLTOOL=... -DIMPORT_LIB=... -DDLL=... -DDEF=... -DOUT=... -P delay_import.cmake
# (64-bit import libraries: their names carry no decoration.)
execute_process(COMMAND ${NM} ${IMPORT_LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} ${IMPORT_LIB} failed")
endif()
# The functions: each has a thunk (T) besides its import slot (I); an import
# slot alone is data, which cannot be loaded late.
string(REGEX MATCHALL "[0-9a-f]+ T [^\n]+" thunks "${symbols}")
set(exports "")
foreach(thunk IN LISTS thunks)
  string(REGEX REPLACE "^[0-9a-f]+ T " "" name "${thunk}")
  if(NOT name MATCHES "^_*(head|imp|IMPORT_DESCRIPTOR|NULL_)" AND NOT name MATCHES "_iname$")
    string(APPEND exports "  ${name}\n")
  endif()
endforeach()
if(exports STREQUAL "")
  message(FATAL_ERROR "no functions found in ${IMPORT_LIB}")
endif()
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n${exports}")
# Run where the library goes, and named without its folder: the names dlltool
# makes from the library's path then do not depend on where the tree is built.
get_filename_component(folder ${OUT} DIRECTORY)
get_filename_component(library ${OUT} NAME)
get_filename_component(stem ${OUT} NAME_WE)
execute_process(COMMAND ${DLLTOOL} --input-def ${DEF} --dllname ${DLL} --output-delaylib ${library}
                        --temp-prefix ${stem}
                WORKING_DIRECTORY ${folder} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} could not make ${OUT}")
endif()
