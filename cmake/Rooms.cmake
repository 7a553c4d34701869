# zen_room(TARGET DIR [LIBS ...]): a static library of every .cpp in DIR.
# A room whose sources are still to come builds as an empty library, so the
# tree configures while a room is being written.
function(zen_room target dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    set(sources ${CMAKE_BINARY_DIR}/empty_room.cpp)
    if(NOT EXISTS ${sources})
      file(WRITE ${sources} "// A room without sources yet.\n")
    endif()
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_LIBS})
endfunction()

# zen_room_tests(DIR LIBS ...): one test program per *_test.cpp in DIR.
function(zen_room_tests dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  foreach(source IN LISTS tests)
    get_filename_component(name ${source} NAME_WE)
    zen_test(${name} SOURCES ${source} LIBS ${ARG_LIBS})
  endforeach()
endfunction()
