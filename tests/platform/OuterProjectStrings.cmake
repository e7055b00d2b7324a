# Configures the project inside another one (add_subdirectory) and checks that
# the string tables still reach the platform library's resources.
# Run with -DKVT_DIR=<source> -DWORK_DIR=<scratch folder>.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/outer)
file(WRITE ${WORK_DIR}/outer/CMakeLists.txt
  "cmake_minimum_required(VERSION 3.25)\nproject(Outer CXX)\nadd_subdirectory(\"${KVT_DIR}\" kvt)\n")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${WORK_DIR}/outer -B ${WORK_DIR}/build -G Ninja
          -DKVT_BUILD_TESTS=OFF -DKVT_BUILD_BENCH=OFF
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring inside another project failed: ${errors}")
endif()
file(READ ${WORK_DIR}/build/kvt/platform/.rcc/kvt_strings.qrc qrc)
foreach(table 9 1031 1034 1036 1040 1043)
  if(NOT qrc MATCHES "alias=\"strings/${table}.txt\"")
    message(FATAL_ERROR "string table ${table} is missing from the resources:\n${qrc}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
