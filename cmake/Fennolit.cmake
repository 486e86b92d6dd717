# A dependency must be a layer declared before (with or without code yet) or
# a library target: a misspelt or missing name, or a layer named above
# its user, stops the configuration instead of being left out.
function(fennolit_check_dependencies user)
  get_property(_layers GLOBAL PROPERTY FENNOLIT_LAYERS)
  foreach(dep IN LISTS ARGN)
    if(NOT dep IN_LIST _layers AND NOT TARGET ${dep})
      message(FATAL_ERROR "${user} names the dependency '${dep}', which is neither a layer declared before it "
                          "nor a library target")
    endif()
  endforeach()
endfunction()

# fennolit_layer(name deps...): a static library of every .cpp in the folder
# <name>/, linked to the layers below it. A folder without code yet makes no
# library, and its users link nothing for it.
function(fennolit_layer name)
  fennolit_check_dependencies("Layer ${name}" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY FENNOLIT_LAYERS ${name})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${name}/*.cpp ${CMAKE_SOURCE_DIR}/${name}/*.c)
  if(NOT _sources)
    return()
  endif()
  add_library(${name} STATIC ${_sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/${name})
  foreach(dep IN LISTS ARGN)
    if(TARGET ${dep})
      target_link_libraries(${name} PUBLIC ${dep})
    endif()
  endforeach()
  if(name STREQUAL "classlib")
    # TJPEGImage compresses through libjpeg.
    target_link_libraries(${name} PUBLIC ${FENNOLIT_WIN32_LIBS} jpeg_static)
  endif()
endfunction()

# fennolit_test(folder): one console test program of every .cpp in
# tests/<folder>/, run through Wine by CTest.
function(fennolit_test folder)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.rc)
  if(NOT _sources)
    return()
  endif()
  set(_exe test_${folder})
  add_executable(${_exe} ${_sources})
  fennolit_resource_depends(${_sources})
  target_link_libraries(${_exe} PRIVATE test_harness)
  if(TARGET ${folder})
    target_link_libraries(${_exe} PRIVATE ${folder})
  endif()
  foreach(dep IN LISTS ARGN)
    if(TARGET ${dep})
      target_link_libraries(${_exe} PRIVATE ${dep})
    endif()
  endforeach()
  target_link_options(${_exe} PRIVATE -mconsole)
  target_include_directories(${_exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
  add_test(NAME ${folder} COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-test ${CMAKE_BINARY_DIR}/tests/${folder}.log $<TARGET_FILE:${_exe}>
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
  set_tests_properties(${folder} PROPERTIES TIMEOUT 900)
endfunction()

# windres tells Ninja nothing of the files a resource script includes, so a
# changed layout, picture or help document would leave the old resources in
# the program. Each script given is rebuilt when any file under resources/ or
# beside the script changes. Call it in the folder that builds the script.
function(fennolit_resource_depends)
  file(GLOB_RECURSE _shared CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
  foreach(rc IN LISTS ARGN)
    if(NOT rc MATCHES "\\.rc$")
      continue()
    endif()
    get_filename_component(_dir ${rc} DIRECTORY)
    file(GLOB_RECURSE _own CONFIGURE_DEPENDS ${_dir}/*)
    list(REMOVE_ITEM _own ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${_shared};${_own}")
  endforeach()
endfunction()
