# Runs a test command against a private PC/SC stack (tests/stack/with-pcscd.sh):
# pcscd with the vpcd driver's two readers, the T=1 sample card in the first
# and the T=0 sample card in the second. Prefix a test's command with it:
#
#   add_test(NAME x COMMAND ${VELK_WITH_PCSCD} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:t>)
#
# or build a wrapper with other card scripts ("none" leaves a reader empty):
#
#   velk_pcsc_stack_wrapper(VAR [CARD script] [CARD2 script|none] [PINPAD])
#
# PINPAD adds the virtual pin-pad reader (the host build of pinpad/) as a
# third reader.
#
# The wrapped command finds the readers and the cards' control channels in
# its environment (see the top of with-pcscd.sh).
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH _velk_root)
set(VELK_PCSC_STACK_SCRIPT ${_velk_root}/tests/stack/with-pcscd.sh)
set(VELK_VCARD_SCRIPTS ${_velk_root}/tests/vcard/scripts)

function(velk_pcsc_stack_wrapper out)
  cmake_parse_arguments(W "PINPAD" "CARD;CARD2" "" ${ARGN})
  if(NOT W_CARD)
    set(W_CARD ${VELK_VCARD_SCRIPTS}/t1.vcard)
  endif()
  if(NOT W_CARD2)
    set(W_CARD2 ${VELK_VCARD_SCRIPTS}/t0.vcard)
  endif()
  # The tools are built for the target; a 32-bit build runs them under qemu.
  set(emu "")
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emu)
    string(APPEND emu " ")
  endif()
  set(${out} ${VELK_PCSC_STACK_SCRIPT}
      --vcard "${emu}$<TARGET_FILE:velk_vcard>"
      --wait "${emu}$<TARGET_FILE:velk_pcsc_wait>"
      --card ${W_CARD} --card2 ${W_CARD2})
  if(W_PINPAD)
    list(APPEND ${out} --pinpad ${VELK_PINPAD_DRIVER})
  endif()
  set(${out} ${${out}} -- PARENT_SCOPE)
endfunction()

velk_pcsc_stack_wrapper(_velk_with_pcscd)
set(VELK_WITH_PCSCD ${_velk_with_pcscd} CACHE INTERNAL
    "Command prefix that runs a test inside a private pcscd with two virtual cards")
