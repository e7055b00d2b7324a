# One static library per source folder; every .cpp in the folder belongs to it.
function(kvt_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(sources)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# One test program per test folder, each test case run by CTest as its own process
# so that every case starts with a fresh registry folder. SUBFOLDERS of the test
# folder belong to the same program.
function(kvt_test_folder name)
  cmake_parse_arguments(ARG "" "" "DEPS;SUBFOLDERS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(include_dirs ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(sub ${ARG_SUBFOLDERS})
    file(GLOB sub_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.h)
    list(APPEND sources ${sub_sources})
    list(APPEND include_dirs ${CMAKE_CURRENT_SOURCE_DIR}/${sub})
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${include_dirs})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE kvt_testmain ${ARG_DEPS})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT 120)
endfunction()
