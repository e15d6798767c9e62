# Runs JUnit 5 test classes in a real VM, with the VM's JNI checks on, the
# test kit (tests/support) on the class path.
#
#   velk_add_junit_test(NAME n JAR test_jar CLASSES a.B ...
#                       [LIBRARY_PATH dir ...] [ENVIRONMENT K=V ...]
#                       [WRAPPER cmd ...] [JVM_ARGS ...])
#
# WRAPPER prefixes the VM command (for example a script that starts a private
# PC/SC daemon around it).
#
# A JNI warning of -Xcheck:jni goes to the VM's output without changing its
# exit status, so the output decides too: any such line, or any sanitizer
# report, fails the test.
#
# In a sanitizer build (VELK_SANITIZE) the libraries need the ASan and UBSan
# runtimes loaded ahead of everything else, so the VM (and only the VM, not the
# wrapper's daemons) runs with them preloaded. The VM uses SIGSEGV for its own
# purposes (null checks, safepoints), so ASan must leave that signal alone, and
# the VM's own allocations would drown a leak check.
set(VELK_JUNIT_STANDALONE /usr/share/java/junit-platform-console-standalone.jar
    CACHE FILEPATH "JUnit console launcher")
set(VELK_JUNIT_API /usr/share/java/junit-jupiter-api.jar CACHE FILEPATH "JUnit API jar")
if(NOT DEFINED VELK_TEST_JAVA)
  set(VELK_TEST_JAVA ${Java_JAVA_EXECUTABLE} CACHE STRING "VM that runs the Java tests")
endif()

set(VELK_JUNIT_FAIL_PATTERNS
  "WARNING in native method"
  "WARNING: JNI local refs"
  "Warning: Calling other JNI functions"
  "FATAL ERROR in native method"
  "Warning: [A-Z0-9]+ handler (modified|is replaced)"
  "ERROR: (Address|Leak)Sanitizer"
  "runtime error:"
  "SUMMARY: (Address|UndefinedBehavior)Sanitizer")

set(VELK_TEST_VM_PREFIX "")
if(VELK_SANITIZE)
  execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=libasan.so
    OUTPUT_VARIABLE _velk_libasan OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=libubsan.so
    OUTPUT_VARIABLE _velk_libubsan OUTPUT_STRIP_TRAILING_WHITESPACE)
  foreach(lib IN ITEMS ${_velk_libasan} ${_velk_libubsan})
    if(NOT IS_ABSOLUTE "${lib}" OR NOT EXISTS "${lib}")
      message(FATAL_ERROR "sanitizer runtime not found (${lib}); the VM tests need it preloaded")
    endif()
  endforeach()
  # Prefix of every VM the tests start; child VMs inherit the environment.
  set(VELK_TEST_VM_PREFIX env
    LD_PRELOAD=${_velk_libasan}:${_velk_libubsan}
    ASAN_OPTIONS=detect_leaks=0:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:allow_user_segv_handler=1
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1)
endif()

function(velk_add_junit_test)
  cmake_parse_arguments(T "" "NAME;JAR" "CLASSES;LIBRARY_PATH;ENVIRONMENT;WRAPPER;JVM_ARGS" ${ARGN})
  get_target_property(test_jar ${T_JAR} JAR_FILE)
  get_target_property(main_jar velk_java JAR_FILE)
  get_target_property(kit_jar velk_test_support JAR_FILE)
  set(select)
  foreach(c IN LISTS T_CLASSES)
    list(APPEND select --select-class ${c})
  endforeach()
  list(JOIN T_LIBRARY_PATH ":" libpath)
  add_test(NAME ${T_NAME}
    COMMAND ${T_WRAPPER} ${VELK_TEST_VM_PREFIX} ${VELK_TEST_JAVA} -Xcheck:jni
      -Djava.library.path=${libpath}
      ${T_JVM_ARGS}
      -cp ${VELK_JUNIT_STANDALONE}:${main_jar}:${kit_jar}:${test_jar}
      org.junit.platform.console.ConsoleLauncher
      --disable-banner --disable-ansi-colors --fail-if-no-tests --details=tree
      ${select})
  if(T_ENVIRONMENT)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  list(JOIN VELK_JUNIT_FAIL_PATTERNS "|" fail)
  set_tests_properties(${T_NAME} PROPERTIES LABELS java FAIL_REGULAR_EXPRESSION "${fail}")
endfunction()

# Compiles test classes into a jar that sees JUnit, the product's jar, the
# test kit and INCLUDE_JARS; DEPENDS names what the tests load (libraries,
# stand-ins).
#
#   velk_add_test_jar(target OUTPUT_NAME name SOURCES ... [INCLUDE_JARS jar ...]
#                     [MANIFEST file] [DEPENDS target ...])
function(velk_add_test_jar target)
  cmake_parse_arguments(J "" "OUTPUT_NAME;MANIFEST" "SOURCES;INCLUDE_JARS;DEPENDS" ${ARGN})
  set(CMAKE_JAVA_COMPILE_FLAGS -Xlint:all -Xlint:-processing -Werror --release 17)
  set(kit velk_test_support)
  if(target STREQUAL velk_test_support)
    set(kit)
  endif()
  set(manifest)
  if(J_MANIFEST)
    set(manifest MANIFEST ${J_MANIFEST})
  endif()
  add_jar(${target} SOURCES ${J_SOURCES} ${manifest} OUTPUT_NAME ${J_OUTPUT_NAME}
    INCLUDE_JARS ${VELK_JUNIT_STANDALONE} velk_java ${kit} ${J_INCLUDE_JARS})
  if(J_DEPENDS)
    add_dependencies(${target} ${J_DEPENDS})
  endif()
endfunction()
