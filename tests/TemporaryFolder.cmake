# The tests' temporary folder FOLDER: STEP=empty makes it anew, empty; STEP=check fails naming
# whatever the tests left in it (a name begins with the program that made it).
if(STEP STREQUAL "empty")
  file(REMOVE_RECURSE ${FOLDER})
  file(MAKE_DIRECTORY ${FOLDER})
  return()
endif()
file(GLOB _left LIST_DIRECTORIES true RELATIVE ${FOLDER} ${FOLDER}/*)
if(_left)
  list(JOIN _left "\n  " _left)
  message(FATAL_ERROR "Left in the tests' temporary folder ${FOLDER}:\n  ${_left}")
endif()
