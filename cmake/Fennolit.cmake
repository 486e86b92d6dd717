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
#
# A layer names every layer and library whose headers its files include
# themselves, the nearest and the lowest alike: a header reached only through
# another layer's header is that layer's edge, not this one's. So the
# declarations are the include graph itself (held against only their closure,
# a layer could lean on an edge it never names), and once all layers are
# declared fennolit_check_layer_includes holds the code to them.
function(fennolit_layer name)
  fennolit_check_dependencies("Layer ${name}" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY FENNOLIT_LAYERS ${name})
  set_property(GLOBAL PROPERTY FENNOLIT_LAYER_DEPENDENCIES_${name} ${ARGN})
  # An upward include names a header of a layer declared later, so the check
  # waits for the end of the top folder's CMakeLists.txt.
  get_property(_queued GLOBAL PROPERTY FENNOLIT_LAYER_CHECK_QUEUED)
  if(NOT _queued)
    set_property(GLOBAL PROPERTY FENNOLIT_LAYER_CHECK_QUEUED TRUE)
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL fennolit_check_layer_includes ${CMAKE_SOURCE_DIR})
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL fennolit_save_layers ${CMAKE_BINARY_DIR}/fennolit-layers.cmake)
  endif()
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
    # Win32 is the platform every layer stands on, not an edge between layers.
    target_link_libraries(${name} PUBLIC ${FENNOLIT_WIN32_LIBS})
  endif()
endfunction()

# fennolit_library_headers(target headers...): the headers by which a layer
# uses a third-party library target. A layer that includes one of them must
# name the target among its dependencies; one that names the target must
# include one of them. A library without named headers is taken on trust.
function(fennolit_library_headers target)
  set_property(GLOBAL APPEND PROPERTY FENNOLIT_LIBRARIES ${target})
  set_property(GLOBAL PROPERTY FENNOLIT_LIBRARY_HEADERS_${target} ${ARGN})
endfunction()

# Reads the #include lines of every file of every layer (its subfolders too)
# and stops the configuration, naming file, header and layers, when
#  - a file includes a header of a layer or library its layer does not
#    declare (a layer above it can never be declared, so every upward include
#    fails here, as does an undeclared one sideways),
#  - an include names a header that several layer folders hold, which the
#    compiler would take from whichever comes first on the include path,
#  - a layer with code declares a layer or library with headers of which none
#    of its files includes one: a stale edge would let a real include through.
# A header is looked up as the compiler does: a quoted name beside the
# including file first, then in each layer folder (each is on the include
# path). Headers found in no layer folder and named by no library (windows.h,
# the C++ library, gtest) are the platform's and pass.
function(fennolit_check_layer_includes root)
  get_property(_layers GLOBAL PROPERTY FENNOLIT_LAYERS)
  get_property(_libraries GLOBAL PROPERTY FENNOLIT_LIBRARIES)
  set(_folders "")
  foreach(layer IN LISTS _layers)
    get_filename_component(_folder "${root}/${layer}" REALPATH)
    list(APPEND _folders "${_folder}/")
  endforeach()
  set(_problems "")
  foreach(layer IN LISTS _layers)
    get_property(_deps GLOBAL PROPERTY FENNOLIT_LAYER_DEPENDENCIES_${layer})
    list(FIND _layers ${layer} _level)
    list(JOIN _deps ", " _declared)
    if(_declared STREQUAL "")
      set(_declared "nothing")
    endif()
    set(_used "")
    file(GLOB_RECURSE _files LIST_DIRECTORIES false
         ${root}/${layer}/*.h ${root}/${layer}/*.hpp ${root}/${layer}/*.inc ${root}/${layer}/*.c ${root}/${layer}/*.cpp)
    list(SORT _files)
    foreach(file IN LISTS _files)
      file(RELATIVE_PATH _shown "${root}" "${file}")
      get_filename_component(_here "${file}" DIRECTORY)
      file(STRINGS "${file}" _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
      foreach(line IN LISTS _lines)
        string(REGEX MATCH "[<\"]([^>\"]+)[>\"]" _quoted "${line}")
        set(_header "${CMAKE_MATCH_1}")
        set(_owners "")
        set(_paths "")
        if(_quoted MATCHES "^\"" AND EXISTS "${_here}/${_header}" AND NOT IS_DIRECTORY "${_here}/${_header}")
          # Beside the including file: the layer whose folder holds it, if any.
          get_filename_component(_real "${_here}/${_header}" REALPATH)
          foreach(_folder _other IN ZIP_LISTS _folders _layers)
            string(FIND "${_real}" "${_folder}" _at)
            if(_at EQUAL 0)
              set(_owners ${_other})
            endif()
          endforeach()
        else()
          foreach(other IN LISTS _layers)
            if(EXISTS "${root}/${other}/${_header}" AND NOT IS_DIRECTORY "${root}/${other}/${_header}")
              list(APPEND _owners ${other})
              list(APPEND _paths "${other}/${_header}")
            endif()
          endforeach()
          foreach(library IN LISTS _libraries)
            get_property(_names GLOBAL PROPERTY FENNOLIT_LIBRARY_HEADERS_${library})
            if(_header IN_LIST _names)
              list(APPEND _owners ${library})
              list(APPEND _paths "the library ${library}")
            endif()
          endforeach()
        endif()
        list(LENGTH _owners _count)
        if(_count GREATER 1)
          list(JOIN _paths " and " _paths)
          string(APPEND _problems "\n  ${_shown} includes \"${_header}\", which ${_paths} both provide: "
                                  "the compiler takes the one first on the include path; give one a name of its own")
          continue()
        endif()
        if(_count EQUAL 0 OR _owners STREQUAL layer)
          continue()
        endif()
        set(_kind "layer")
        if(_owners IN_LIST _libraries)
          set(_kind "library")
        endif()
        if(_owners IN_LIST _deps)
          list(APPEND _used ${_owners})
          continue()
        endif()
        list(FIND _layers ${_owners} _their_level)
        if(_their_level GREATER _level)
          set(_why "which is above ${layer}")
        else()
          set(_why "which ${layer} does not declare as a dependency")
        endif()
        string(APPEND _problems "\n  ${_shown} includes \"${_header}\" of the ${_kind} ${_owners}, ${_why} "
                                "(${layer} declares: ${_declared})")
      endforeach()
    endforeach()
    if(NOT _files)
      continue()
    endif()
    foreach(dep IN LISTS _deps)
      if(dep IN_LIST _used)
        continue()
      endif()
      if(dep IN_LIST _layers)
        file(GLOB _provided LIST_DIRECTORIES false ${root}/${dep}/*)
      else()
        get_property(_provided GLOBAL PROPERTY FENNOLIT_LIBRARY_HEADERS_${dep})
      endif()
      if(_provided)
        string(APPEND _problems "\n  Layer ${layer} declares the dependency '${dep}', but none of its files includes a header of it")
      endif()
    endforeach()
  endforeach()
  if(_problems)
    message(FATAL_ERROR "The layers' includes do not match their declared dependencies:${_problems}")
  endif()
endfunction()

# Writes the declarations of the layers and libraries to <file>, which a
# script includes to check the sources as they are now: the configuration
# reads them once, and an include added later would wait for the next one.
function(fennolit_save_layers file)
  get_property(_layers GLOBAL PROPERTY FENNOLIT_LAYERS)
  get_property(_libraries GLOBAL PROPERTY FENNOLIT_LIBRARIES)
  set(_saved "# Written by the configuration: the declared layers and libraries.\n")
  foreach(library IN LISTS _libraries)
    get_property(_names GLOBAL PROPERTY FENNOLIT_LIBRARY_HEADERS_${library})
    list(JOIN _names " " _names)
    string(APPEND _saved "fennolit_library_headers(${library} ${_names})\n")
  endforeach()
  foreach(layer IN LISTS _layers)
    get_property(_deps GLOBAL PROPERTY FENNOLIT_LAYER_DEPENDENCIES_${layer})
    list(JOIN _deps " " _deps)
    string(APPEND _saved "set_property(GLOBAL APPEND PROPERTY FENNOLIT_LAYERS ${layer})\n"
                         "set_property(GLOBAL PROPERTY FENNOLIT_LAYER_DEPENDENCIES_${layer} ${_deps})\n")
  endforeach()
  file(WRITE "${file}" "${_saved}")
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
