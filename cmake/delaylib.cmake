# cmake -DNM= -DDLLTOOL= -DIMPORT= -DDLL= -DOUT= -DKILLAT=ON|OFF -P delaylib.cmake
# A delay-load import library for DLL, made from MinGW's ordinary import library IMPORT: the
# DLL is then loaded at its first call, by which time the program has limited the DLL search
# to the system folder.
execute_process(COMMAND ${NM} -g ${IMPORT} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read ${IMPORT}")
endif()
string(REGEX MATCHALL "I __imp__?[A-Za-z0-9_@]+" imports "${symbols}")
set(def "LIBRARY ${DLL}\nEXPORTS\n")
foreach(i ${imports})
  string(REGEX REPLACE "^I __imp_" "" name "${i}")
  if(KILLAT)
    string(REGEX REPLACE "^_" "" name "${name}")   # 32-bit names carry a leading underscore
  endif()
  string(APPEND def "${name}\n")
endforeach()
file(WRITE ${OUT}.def "${def}")
set(kill)
if(KILLAT)
  set(kill -k)
endif()
execute_process(COMMAND ${DLLTOOL} ${kill} --input-def ${OUT}.def --output-delaylib ${OUT} --dllname ${DLL}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dlltool failed for ${DLL}")
endif()
