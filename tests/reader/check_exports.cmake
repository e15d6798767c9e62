# Fails unless LIBRARY exports exactly the flat functions and the JNI natives.
# Usage: cmake -DLIBRARY=<path> -P check_exports.cmake
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected
  Java_velksdk_VelkReader_closeImpl Java_velksdk_VelkReader_openImpl
  Java_velksdk_VelkReader_receiveW26Impl Java_velksdk_VelkReader_receiveW26TImpl
  VelkReaderClose VelkReaderOpen VelkReaderReceiveW26 VelkReaderReceiveW26T)
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports differ\n  expected: ${expected}\n  actual:   ${names}")
endif()
message(STATUS "exports: ${names}")
