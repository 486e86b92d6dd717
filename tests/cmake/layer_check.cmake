cmake_policy(VERSION 3.25)
# Configures small projects with cmake/Fennolit.cmake and checks that a layer
# naming a dependency that does not exist stops the configuration, while a
# layer without code yet and a library target are accepted.
# Run: cmake -DFENNOLIT_ROOT=<source> -DWORK=<scratch folder> -P layer_check.cmake
set(cases
  "ok|fennolit_layer(base)\nfennolit_layer(empty base)\nadd_library(extlib INTERFACE)\nfennolit_layer(top base empty extlib)|"
  "misspelt|fennolit_layer(base)\nfennolit_layer(top bsae)|Layer top names the dependency 'bsae'"
  "above its user|fennolit_layer(low high)\nfennolit_layer(high)|Layer low names the dependency 'high'"
  "missing library|fennolit_layer(base)\nfennolit_layer(top base zlib_missing)|Layer top names the dependency 'zlib_missing'")
set(failures 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 body)
  list(LENGTH parts n)
  set(expected "")
  if(n GREATER 2)
    list(GET parts 2 expected)
  endif()
  string(REPLACE " " "_" dir "${name}")
  set(project "${WORK}/${dir}")
  file(REMOVE_RECURSE "${project}")
  string(REPLACE "\\n" "\n" body "${body}")
  file(WRITE "${project}/CMakeLists.txt"
       "cmake_minimum_required(VERSION 3.25)\nproject(check NONE)\ninclude(${FENNOLIT_ROOT}/cmake/Fennolit.cmake)\n${body}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -S "${project}" -B "${project}/build"
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \n]+" " " err "${err}")
  if(expected STREQUAL "")
    if(NOT result EQUAL 0)
      message(SEND_ERROR "${name}: the configuration failed: ${err}")
      math(EXPR failures "${failures} + 1")
    endif()
  elseif(result EQUAL 0)
    message(SEND_ERROR "${name}: the configuration passed; expected it to stop with: ${expected}")
    math(EXPR failures "${failures} + 1")
  elseif(NOT err MATCHES "${expected}")
    message(SEND_ERROR "${name}: stopped without naming the dependency: ${err}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
list(LENGTH cases total)
math(EXPR passed "${total} - ${failures}")
message(STATUS "layer check: ${passed} of ${total} cases as expected")
