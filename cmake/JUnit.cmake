# Runs JUnit 5 test classes in a real VM, with the VM's JNI checks on.
#
#   velk_add_junit_test(NAME n JAR test_jar CLASSES a.B ...
#                       [LIBRARY_PATH dir ...] [ENVIRONMENT K=V ...]
#                       [WRAPPER cmd ...] [JVM_ARGS ...])
#
# WRAPPER prefixes the VM command (for example a script that starts a private
# PC/SC daemon around it).
set(VELK_JUNIT_STANDALONE /usr/share/java/junit-platform-console-standalone.jar
    CACHE FILEPATH "JUnit console launcher")
set(VELK_JUNIT_API /usr/share/java/junit-jupiter-api.jar CACHE FILEPATH "JUnit API jar")
if(NOT DEFINED VELK_TEST_JAVA)
  set(VELK_TEST_JAVA ${Java_JAVA_EXECUTABLE} CACHE STRING "VM that runs the Java tests")
endif()

function(velk_add_junit_test)
  cmake_parse_arguments(T "" "NAME;JAR" "CLASSES;LIBRARY_PATH;ENVIRONMENT;WRAPPER;JVM_ARGS" ${ARGN})
  get_target_property(test_jar ${T_JAR} JAR_FILE)
  get_target_property(main_jar velk_java JAR_FILE)
  set(select)
  foreach(c IN LISTS T_CLASSES)
    list(APPEND select --select-class ${c})
  endforeach()
  list(JOIN T_LIBRARY_PATH ":" libpath)
  add_test(NAME ${T_NAME}
    COMMAND ${T_WRAPPER} ${VELK_TEST_JAVA} -Xcheck:jni
      -Djava.library.path=${libpath}
      ${T_JVM_ARGS}
      -cp ${VELK_JUNIT_STANDALONE}:${main_jar}:${test_jar}
      org.junit.platform.console.ConsoleLauncher
      --disable-banner --disable-ansi-colors --fail-if-no-tests --details=tree
      ${select})
  if(T_ENVIRONMENT)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS java)
endfunction()
