# Each target sees only the headers of the folders it names here and of the
# targets it links, so that an include from a folder it may not use (ui/ from
# core/, tests/ from anything but the tests) fails to build. Headers keep their
# repository paths ("core/engine/engine.h"): each folder is reached through a
# link in a directory of its own under the build tree, and that directory is
# what goes on the include path.
#
#   glossmith_headers(<target> PUBLIC|PRIVATE|INTERFACE <folder>...)
function(glossmith_headers target scope)
  get_filename_component(root "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.." ABSOLUTE)
  foreach(folder ${ARGN})
    string(REPLACE "/" "_" name "${folder}")
    set(dir "${CMAKE_BINARY_DIR}/headers/${name}")
    get_filename_component(parent "${dir}/${folder}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(CREATE_LINK "${root}/${folder}" "${dir}/${folder}" SYMBOLIC)
    target_include_directories(${target} ${scope} "${dir}")
  endforeach()
endfunction()
