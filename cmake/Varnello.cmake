# One static library per source folder: every .cpp/.h in the folder belongs to it, so adding a
# file never needs a CMake edit. A folder without sources yet becomes an interface library.
function(varnello_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB _headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(_sources)
    add_library(${name} STATIC ${_sources} ${_headers})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# One test executable per tst_*.cpp in the folder, registered with CTest under the folder's name.
function(varnello_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(_src IN LISTS _tests)
    get_filename_component(_name ${_src} NAME_WE)
    add_executable(${_name} ${_src})
    target_link_libraries(${_name} PRIVATE ${ARG_LIBS} varnello_test_support varnello_test_startup
      Qt6::Test)
    if(VARNELLO_SANITIZE)
      # Tests with a memory budget skip it: the sanitizer's quarantine keeps freed memory resident
      # (GCC and clang announce the sanitizer differently; the build says it once for both).
      target_compile_definitions(${_name} PRIVATE VARNELLO_SANITIZE)
    endif()
    varnello_sanitizer_defaults(${_name})
    add_test(NAME ${folder}/${_name} COMMAND ${_name})
    varnello_test_home(${folder}/${_name} ${CMAKE_CURRENT_BINARY_DIR}/home/${_name})
    set_tests_properties(${folder}/${_name} PROPERTIES TIMEOUT 300)
  endforeach()
endfunction()

# Runs the test in a home of its own in the build folder: what the libraries under a test write
# there on their own (libcanberra's sound cache, the program's cache) never lands in the home of
# whoever runs the suite. The tests share a temporary folder in the build folder, and each has a
# runtime folder of its own under the run's socket folder (tests/CMakeLists.txt), so that Qt never
# makes its shared fallback in the temporary folder. Both are made anew before the run and must
# be empty after it (tests/TemporaryFolder.cmake): a test, or a program it starts, that leaves
# something there fails the suite.
function(varnello_test_home test home)
  # The runtime folder's name is the test's number: short, since the sockets in it must fit.
  set_property(GLOBAL APPEND PROPERTY VARNELLO_TESTS_WITH_HOME ${test})
  get_property(_tests GLOBAL PROPERTY VARNELLO_TESTS_WITH_HOME)
  list(LENGTH _tests _number)
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED temporary-folder ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;VARNELLO_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR};HOME=${home};XDG_CACHE_HOME=${home}/.cache;XDG_CONFIG_HOME=${home}/.config;XDG_DATA_HOME=${home}/.local/share;XDG_STATE_HOME=${home}/.local/state;TMPDIR=${PROJECT_BINARY_DIR}/tmp;XDG_RUNTIME_DIR=${VARNELLO_TEST_SOCKET_FOLDER}/${_number}")
endfunction()

# The sanitizer build's options and leak suppressions go into each of its programs (not into the
# environment of the one command that runs the suite): ctest, a test run by hand and the program
# that a test starts all run alike. tools/lsan.supp stays the one list: its text is copied in.
if(VARNELLO_SANITIZE)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/tools/lsan.supp)
  file(READ ${PROJECT_SOURCE_DIR}/tools/lsan.supp VARNELLO_LSAN_SUPPRESSIONS)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/SanitizerDefaults.cpp.in
    ${PROJECT_BINARY_DIR}/generated/SanitizerDefaults.cpp @ONLY)
  add_library(varnello_sanitizer_defaults OBJECT ${PROJECT_BINARY_DIR}/generated/SanitizerDefaults.cpp)
  set_target_properties(varnello_sanitizer_defaults PROPERTIES AUTOMOC OFF)
endif()

function(varnello_sanitizer_defaults target)
  if(VARNELLO_SANITIZE)
    target_link_libraries(${target} PRIVATE varnello_sanitizer_defaults)
  endif()
endfunction()
