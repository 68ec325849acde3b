# A folder's library makes its headers visible under the path they are
# included by ("text/cp932.h"), and no other folder's: a directory of the
# build tree of the library's own holds one link to the folder. A target
# that does not link the library cannot include its headers, so the
# layering is the link graph's.
#
#   busview_headers(<target> PUBLIC|PRIVATE|INTERFACE <folder under src/>...)
function(busview_headers target visibility)
  set(stage ${CMAKE_BINARY_DIR}/include/${target})
  foreach(folder IN LISTS ARGN)
    get_filename_component(parent ${stage}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${stage}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${visibility} ${stage})
endfunction()
