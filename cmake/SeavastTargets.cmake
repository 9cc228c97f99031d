# seavast_library(NAME DIR [OBJECT] DEPS ...)
# One library per source folder, its sources globbed so that adding a file needs no list edit.
# A folder with no sources yet becomes an INTERFACE library, so dependants still configure.
function(seavast_library name dir)
  cmake_parse_arguments(ARG "OBJECT" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.c)
  if(_srcs)
    if(ARG_OBJECT)
      add_library(${name} OBJECT ${_srcs})
    else()
      add_library(${name} STATIC ${_srcs})
    endif()
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} seavast_sanitize PRIVATE seavast_warnings)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} seavast_sanitize)
  endif()
endfunction()

# seavast_test_folder(LABEL DEPS ...): one GoogleTest program per tests/ folder, labelled by folder.
function(seavast_test_folder label)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${label}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  set(exe test_${label})
  add_executable(${exe} ${_srcs})
  target_include_directories(${exe} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${exe} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads seavast_warnings seavast_sanitize)
  target_compile_definitions(${exe} PRIVATE
    SEAVAST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SEAVAST_BINARY_DIR="${CMAKE_BINARY_DIR}"
    SEAVAST_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  gtest_discover_tests(${exe}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${label} TIMEOUT 900)
endfunction()
