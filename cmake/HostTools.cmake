# The Windows build compiles text forms into binary resources with a formconv built for the build machine.
include(ExternalProject)
set(TAV_HOST_FORMCONV ${CMAKE_BINARY_DIR}/host/bin/formconv)
ExternalProject_Add(host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/host
  CMAKE_ARGS -G Ninja -DTAV_HOST_TOOLS_ONLY=ON -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target formconv
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${TAV_HOST_FORMCONV})

# tav_form_resources(<target> <form.txt>...): each text form becomes an RCDATA resource named after its
# root class in upper case, linked into <target>.
function(tav_form_resources target)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_forms.rc)
  set(lines "")
  set(bins "")
  foreach(form IN LISTS ARGN)
    get_filename_component(abs ${form} ABSOLUTE)
    file(STRINGS ${abs} first LIMIT_COUNT 1 REGEX "^[ \t]*(object|inherited|inline)")
    string(REGEX REPLACE "^.*:[ \t]*([A-Za-z0-9_]+).*$" "\\1" cls "${first}")
    string(TOUPPER "${cls}" resname)
    # One folder per target: two programs of a folder may carry different forms of the same class.
    set(bin ${CMAKE_CURRENT_BINARY_DIR}/${target}_forms/${resname}.bin)
    add_custom_command(OUTPUT ${bin}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/${target}_forms
      COMMAND ${TAV_HOST_FORMCONV} to-binary ${abs} ${bin}
      DEPENDS ${abs} host_tools
      COMMENT "Compiling form ${form}")
    string(APPEND lines "${resname} RCDATA \"${bin}\"\n")
    list(APPEND bins ${bin})
  endforeach()
  file(GENERATE OUTPUT ${rc} CONTENT "${lines}")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${bins}")
  target_sources(${target} PRIVATE ${rc})
endfunction()
