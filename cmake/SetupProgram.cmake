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
# RELEASE makes a program fit for distributions: no debug information and no symbols.
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
  target_link_libraries(${arg_NAME} PRIVATE tav_app)
  target_link_options(${arg_NAME} PRIVATE -municode)
  if(arg_RELEASE)
    target_link_options(${arg_NAME} PRIVATE -s -Wl,--gc-sections)
  endif()
  tav_page_resources(${arg_NAME} ${project})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${arg_NAME}_manifest.rc)
  file(GENERATE OUTPUT ${rc} CONTENT "1 24 \"${PROJECT_SOURCE_DIR}/src/app/setup.manifest\"\n")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/src/app/setup.manifest")
  target_sources(${arg_NAME} PRIVATE ${rc})
endfunction()
