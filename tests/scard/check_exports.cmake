cmake_minimum_required(VERSION 3.25)
# libvelkscard must export the twelve native methods of VelkSCard and nothing
# else of its own. The linker's own markers are not the library's symbols.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
set(ignored _init _fini _edata _end __bss_start)
set(expected
  SCardBeginTransaction SCardConnect SCardDisconnect SCardEndTransaction SCardEstablishContext
  SCardGetAttr SCardGetStatusChange SCardListReaders SCardReconnect SCardReleaseContext
  SCardStatus SCardTransmit)
list(TRANSFORM expected PREPEND Java_com_vormel_kx_platform_velksmartcard_VelkSCard_)
string(REPLACE "\n" ";" lines "${listing}")
set(found)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^ @]+)")
    set(name ${CMAKE_MATCH_1})
    if(NOT name IN_LIST ignored)
      list(APPEND found ${name})
    endif()
  endif()
endforeach()
list(SORT found)
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
