cmake_policy(VERSION 3.25)
# Configures small projects with cmake/Fennolit.cmake: layer folders with
# headers whose #include lines the check reads. A misspelt, missing or higher
# dependency, an include of a layer or library the includer does not declare,
# a header name two layers share and a declared edge no file uses stop the
# configuration; declared includes, platform headers and layers without code
# yet pass.
# With -DLAYERS=<build>/fennolit-layers.cmake it then checks the includes of
# the sources under FENNOLIT_ROOT as they are now against the declarations
# the last configuration saved.
# Run: cmake -DFENNOLIT_ROOT=<source> -DWORK=<scratch folder> [-DLAYERS=<file>] -P layer_check.cmake
#
# A case: name | the project's layer declarations | files | what the error
# must say (empty: the configuration must pass). Files are "path:text" joined
# by "&"; "\n" in a text or declaration ends a line. Headers only: the
# projects enable no language, and a folder of headers makes no library.
set(lib "add_library(jpeg INTERFACE)\nfennolit_library_headers(jpeg jpeglib.h jerror.h)\n")
set(three "fennolit_layer(base)\nfennolit_layer(left base)\nfennolit_layer(right base)\nfennolit_layer(top base left right)")
set(three_files "base/Base.h:#pragma once&left/Left.h:#include \"Base.h\"&right/Right.h:#include \"Base.h\"&top/Top.h:#include \"Left.h\"\n#include \"Right.h\"\n#include \"Base.h\"")
set(cases
  "ok|fennolit_layer(base)\nfennolit_layer(empty base)\nadd_library(extlib INTERFACE)\nfennolit_layer(top base empty extlib)||"
  "misspelt|fennolit_layer(base)\nfennolit_layer(top bsae)||Layer top names the dependency 'bsae'"
  "above its user|fennolit_layer(low high)\nfennolit_layer(high)||Layer low names the dependency 'high'"
  "missing library|fennolit_layer(base)\nfennolit_layer(top base zlib_missing)||Layer top names the dependency 'zlib_missing'"
  "declared includes|${three}|${three_files}|"
  "platform headers|${three}|${three_files}&base/Sys.h:#include <windows.h>\n#include <gtest/gtest.h>\n# include <zlib.h>\n#include <vector>|"
  "upward include|${three}|${three_files}&base/Base.h:#include \"Top.h\"|base/Base.h includes \"Top.h\" of the layer top, which is above base"
  "upward from a subfolder|${three}|${three_files}&left/sub/Part.cpp:  #  include <Right.h>|left/sub/Part.cpp includes \"Right.h\" of the layer right, which is above left"
  "upward by a path|${three}|${three_files}&base/Path.h:#include \"../top/Top.h\"|base/Path.h includes \"../top/Top.h\" of the layer top, which is above base"
  "undeclared sideways|${three}\nfennolit_layer(side base)|${three_files}&side/Side.h:#include \"Base.h\"\n#include \"Left.h\"|side/Side.h includes \"Left.h\" of the layer left, which side does not declare"
  "library declared|${lib}fennolit_layer(base jpeg)\nfennolit_layer(top base)|base/Pic.h:#include <jpeglib.h>&top/Top.h:#include \"Pic.h\"|"
  "library undeclared|${lib}fennolit_layer(base)\nfennolit_layer(top base)|base/Base.h:#pragma once&top/Top.h:#include \"Base.h\"\n#include <jerror.h>|top/Top.h includes \"jerror.h\" of the library jpeg, which top does not declare"
  "unused layer|${three}\nfennolit_layer(side base left)|${three_files}&side/Side.h:#include \"Base.h\"|Layer side declares the dependency 'left', but none of its files includes"
  "unused library|${lib}fennolit_layer(base jpeg)|base/Base.h:#include <vector>|Layer base declares the dependency 'jpeg', but none of its files includes"
  "shared header name|${three}|${three_files}&left/Same.h:#pragma once&right/Same.h:#pragma once&left/Own.h:#include \"Same.h\"&top/Both.h:#include \"Same.h\"|top/Both.h includes \"Same.h\", which left/Same.h and right/Same.h both provide")
set(failures 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 body)
  list(GET parts 2 files)
  list(GET parts 3 expected)
  string(REPLACE " " "_" dir "${name}")
  set(project "${WORK}/${dir}")
  file(REMOVE_RECURSE "${project}")
  string(REPLACE "\\n" "\n" body "${body}")
  file(WRITE "${project}/CMakeLists.txt"
       "cmake_minimum_required(VERSION 3.25)\nproject(check NONE)\ninclude(${FENNOLIT_ROOT}/cmake/Fennolit.cmake)\n${body}\n")
  string(REPLACE "&" ";" files "${files}")
  foreach(entry IN LISTS files)
    string(FIND "${entry}" ":" colon)
    string(SUBSTRING "${entry}" 0 ${colon} path)
    math(EXPR colon "${colon} + 1")
    string(SUBSTRING "${entry}" ${colon} -1 text)
    string(REPLACE "\\n" "\n" text "${text}")
    file(WRITE "${project}/${path}" "${text}\n")
  endforeach()
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
  else()
    string(FIND "${err}" "${expected}" at)
    if(at LESS 0)
      message(SEND_ERROR "${name}: stopped without saying \"${expected}\": ${err}")
      math(EXPR failures "${failures} + 1")
    endif()
  endif()
endforeach()
list(LENGTH cases total)
math(EXPR passed "${total} - ${failures}")
message(STATUS "layer check: ${passed} of ${total} cases as expected")

if(DEFINED LAYERS)
  include(${FENNOLIT_ROOT}/cmake/Fennolit.cmake)
  include(${LAYERS})
  fennolit_check_layer_includes(${FENNOLIT_ROOT})
  message(STATUS "layer check: the includes of ${FENNOLIT_ROOT} match the declared layers")
endif()
