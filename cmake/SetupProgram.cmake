# add_setup_program(NAME <target> PROJECT <form.txt> [SOURCES <files>...] [RELEASE])
#
# A setup program carrying <form.txt> as its project (the main form TForm1, whose stream holds the whole
# install project), the wizard's page layouts and pictures, and the team's own sources. Those sources
# register the event handlers that the project names in its event properties, by name and before the
# project is loaded, e.g. at static initialisation:
#
#   static const bool registered = [] {
#     tav::RegisterHandler<void(tav::TObject*)>("ShowThanks", [](tav::TObject*) { ... });
#     return true;
#   }();
#
# RELEASE makes a program fit for distributions: built for size from layer libraries of its own, without
# debug information, unused code or symbols.
#
# tav_release_layers(): a copy of every layer library built for size, tav_<layer>_release, linking the
# release copies of the layers it uses.
function(tav_release_layers)
  get_property(done GLOBAL PROPERTY TAV_RELEASE_LAYERS_MADE)
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY TAV_RELEASE_LAYERS_MADE ON)
  get_property(layers GLOBAL PROPERTY TAV_DECLARED)
  foreach(layer IN LISTS layers)
    if(NOT TARGET tav_${layer})
      continue()
    endif()
    get_target_property(type tav_${layer} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links tav_${layer} INTERFACE_LINK_LIBRARIES)
      add_library(tav_${layer}_release INTERFACE)
      set(scope INTERFACE)
    else()
      get_target_property(srcs tav_${layer} SOURCES)
      get_target_property(links tav_${layer} LINK_LIBRARIES)
      add_library(tav_${layer}_release STATIC EXCLUDE_FROM_ALL ${srcs})
      target_compile_options(tav_${layer}_release PRIVATE -Os -g0 -ffunction-sections -fdata-sections)
      set(scope PUBLIC)
    endif()
    set(mapped)
    foreach(l IN LISTS links)
      if(l MATCHES "^tav_" AND TARGET ${l}_release)
        list(APPEND mapped ${l}_release)
      elseif(l)
        list(APPEND mapped ${l})
      endif()
    endforeach()
    target_include_directories(tav_${layer}_release ${scope} ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(tav_${layer}_release ${scope} ${mapped})
  endforeach()
endfunction()

# tav_add_release_program(<target> <output name> <sources>... LIBS <libraries>...): a program of the
# toolkit built for size, as distributions carry it.
function(tav_add_release_program target output)
  cmake_parse_arguments(arg "" "" "LIBS" ${ARGN})
  tav_release_layers()
  add_executable(${target} WIN32 ${arg_UNPARSED_ARGUMENTS})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output})
  target_link_libraries(${target} PRIVATE ${arg_LIBS})
  target_compile_options(${target} PRIVATE -Os -g0 -ffunction-sections -fdata-sections)
  target_link_options(${target} PRIVATE -municode -s -Wl,--gc-sections)
endfunction()

function(add_setup_program)
  cmake_parse_arguments(arg "RELEASE" "NAME;PROJECT" "SOURCES" ${ARGN})
  if(NOT arg_NAME OR NOT arg_PROJECT)
    message(FATAL_ERROR "add_setup_program needs NAME and PROJECT")
  endif()
  get_filename_component(project ${arg_PROJECT} ABSOLUTE)
  file(STRINGS ${project} first LIMIT_COUNT 1 REGEX "^[ \t]*object")
  if(NOT first MATCHES ":[ \t]*TForm1[ \t]*$")
    message(FATAL_ERROR "add_setup_program: the project ${arg_PROJECT} must start with an object of class TForm1")
  endif()
  add_executable(${arg_NAME} WIN32 ${PROJECT_SOURCE_DIR}/src/app/Project1.cpp ${arg_SOURCES})
  target_link_options(${arg_NAME} PRIVATE -municode)
  if(arg_RELEASE)
    tav_release_layers()
    target_link_libraries(${arg_NAME} PRIVATE tav_app_release)
    target_compile_options(${arg_NAME} PRIVATE -Os -g0 -ffunction-sections -fdata-sections)
    target_link_options(${arg_NAME} PRIVATE -s -Wl,--gc-sections)
  else()
    target_link_libraries(${arg_NAME} PRIVATE tav_app)
  endif()
  tav_page_resources(${arg_NAME} ${project})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${arg_NAME}_manifest.rc)
  file(GENERATE OUTPUT ${rc} CONTENT "1 24 \"${PROJECT_SOURCE_DIR}/src/app/setup.manifest\"\n")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/src/app/setup.manifest")
  target_sources(${arg_NAME} PRIVATE ${rc})
endfunction()
