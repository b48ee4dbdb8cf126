# The tests' temporary folder FOLDER and socket folder SOCKETS, which holds a runtime folder for
# each of TESTS (comma-separated; the folders are numbered from 1 in that order): STEP=empty makes
# both anew, empty; STEP=check removes the socket folder and fails naming whatever the tests left
# in either (a name begins with the program that made it).
string(REPLACE "," ";" TESTS "${TESTS}")
set(_runtimeFolders "")
foreach(_test IN LISTS TESTS)
  list(LENGTH _runtimeFolders _number)
  math(EXPR _number "${_number} + 1")
  list(APPEND _runtimeFolders ${_number})
  set(_testOf${_number} ${_test})
endforeach()

if(STEP STREQUAL "empty")
  file(REMOVE_RECURSE ${FOLDER} ${SOCKETS})
  list(TRANSFORM _runtimeFolders PREPEND ${SOCKETS}/ OUTPUT_VARIABLE _private)
  file(MAKE_DIRECTORY ${FOLDER} ${SOCKETS} ${_private})
  # Qt takes a runtime folder only when no one else may enter it.
  file(CHMOD ${SOCKETS} ${_private} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  return()
endif()

# Adds to the report what is in `folder`, but for the names given after `where`.
function(report_left folder where)
  file(GLOB _left LIST_DIRECTORIES true RELATIVE ${folder} ${folder}/*)
  if(ARGN)
    list(REMOVE_ITEM _left ${ARGN})
  endif()
  if(_left)
    list(JOIN _left "\n  " _left)
    set(_report "${_report}Left in ${where} ${folder}:\n  ${_left}\n" PARENT_SCOPE)
  endif()
endfunction()

set(_report "")
report_left(${FOLDER} "the tests' temporary folder")
foreach(_number IN LISTS _runtimeFolders)
  report_left(${SOCKETS}/${_number} "the runtime folder of ${_testOf${_number}},")
endforeach()
report_left(${SOCKETS} "the tests' socket folder" ${_runtimeFolders})
file(REMOVE_RECURSE ${SOCKETS})
if(_report)
  message(FATAL_ERROR "${_report}")
endif()
