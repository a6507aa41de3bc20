# Helpers shared by every folder of the tree.

# talvern_library(<name> [DEPS <targets>...] [SOURCES <extra files>...] [FILES <names>...])
# Builds every .cpp of the calling folder into a static library. Headers are
# included from the project root, e.g. #include "foundation/MemBuff.h".
# With FILES, only the named .cpp files (and their headers) go into the library and
# the folder's globbing libraries declared after it leave them out: a folder can so
# give a few classes their own library when another layer needs them without the rest.
function(talvern_library name)
  cmake_parse_arguments(A "" "" "DEPS;SOURCES;FILES" ${ARGN})
  if(A_FILES)
    set(srcs)
    set(hdrs)
    foreach(f IN LISTS A_FILES)
      list(APPEND srcs ${CMAKE_CURRENT_SOURCE_DIR}/${f})
      string(REGEX REPLACE "\\.cpp$" ".h" h ${f})
      if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${h})
        list(APPEND hdrs ${CMAKE_CURRENT_SOURCE_DIR}/${h})
      endif()
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY TALVERN_CLAIMED_FILES ${srcs} ${hdrs})
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    file(GLOB hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    get_property(claimed DIRECTORY PROPERTY TALVERN_CLAIMED_FILES)
    if(claimed)
      list(REMOVE_ITEM srcs ${claimed})
      list(REMOVE_ITEM hdrs ${claimed})
    endif()
  endif()
  if(srcs OR A_SOURCES)
    add_library(${name} STATIC ${srcs} ${hdrs} ${A_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS})
    target_compile_definitions(${name} PUBLIC TALVERN_VERSION_STRING="${PROJECT_VERSION}")
  else()
    add_library(${name} INTERFACE ${hdrs})
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
endfunction()

# talvern_test(<name> [DEPS <targets>...] [TIMEOUT <s>] [LOCK <resource>])
# One GoogleTest executable from every .cpp of the calling folder, registered with CTest.
# With LOCK, CTest runs no two tests holding the same resource at once (tests that
# share a file beside their program).
function(talvern_test name)
  cmake_parse_arguments(A "" "TIMEOUT;LOCK" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${A_DEPS} talvern_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${A_TIMEOUT}
               RESOURCE_LOCK "${A_LOCK}"
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TALVERN_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()

# Walks the link closure of each target and fails the configuration if Qt appears in it.
function(_talvern_collect_links target out)
  set(seen ${${out}})
  if(NOT TARGET ${target} OR ${target} IN_LIST seen)
    return()
  endif()
  list(APPEND seen ${target})
  get_target_property(type ${target} TYPE)
  set(links)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(l ${target} LINK_LIBRARIES)
    if(l)
      list(APPEND links ${l})
    endif()
  endif()
  get_target_property(il ${target} INTERFACE_LINK_LIBRARIES)
  if(il)
    list(APPEND links ${il})
  endif()
  foreach(dep IN LISTS links)
    if(dep MATCHES "^Qt[56]?::")
      message(FATAL_ERROR "The media core must not link Qt, but ${dep} is in its link closure (via ${target})")
    endif()
    _talvern_collect_links(${dep} seen)
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(talvern_check_qt_free)
  foreach(t IN LISTS ARGN)
    if(TARGET ${t})
      set(seen)
      _talvern_collect_links(${t} seen)
    endif()
  endforeach()
endfunction()
