# Module-definition (.def) files written from the entry tables in abi/, so
# that an export list is never written by hand beside its table.
#
# tarnix_def_file(VAR name LIBRARY dll ROWS rows-file INCLUDES dir... [ORDINALS])
# adds a build step that runs the C++ compiler's preprocessor over rows-file
# (which expands a table into "TARNIX_DEF_ROW name symbol bytes" rows) and
# writes ${CMAKE_CURRENT_BINARY_DIR}/def/<name>; VAR gets its path. Rows are
# written in alphabetical order of the names. On 32-bit Windows each symbol
# carries its stdcall decoration (symbol@bytes); 64-bit Windows has one
# calling convention and no decoration.
#   ORDINALS: an export list whose names may share a routine:
#             "name = symbol[@bytes] @ordinal", ordinals 1, 2, ... in the
#             order of the names.
#   otherwise: "name[@bytes]", one per function, as dlltool -k and the
#             linker's --kill-at want it for a library's own functions.
set(TARNIX_WRITE_DEF_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/write_def.cmake)

function(tarnix_def_file var name)
  cmake_parse_arguments(PARSE_ARGV 2 def "ORDINALS" "LIBRARY;ROWS" "INCLUDES")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/def)
  set(out ${dir}/${name})
  set(flags)
  set(headers)
  foreach(include IN LISTS def_INCLUDES)
    list(APPEND flags -I${include})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${include}/*.h)
    list(APPEND headers ${found})
  endforeach()
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(decorate ON)
  else()
    set(decorate OFF)
  endif()
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_CXX_COMPILER} -E -P -x c++ ${flags} ${def_ROWS} -o ${out}.rows
    COMMAND ${CMAKE_COMMAND} -DROWS=${out}.rows -DOUTPUT=${out} -DLIBRARY=${def_LIBRARY}
            -DDECORATE=${decorate} -DORDINALS=${def_ORDINALS} -DSOURCE=${def_ROWS}
            -P ${TARNIX_WRITE_DEF_SCRIPT}
    DEPENDS ${def_ROWS} ${headers} ${TARNIX_WRITE_DEF_SCRIPT}
    COMMENT "Writing ${name} from its entry table"
    VERBATIM)
  set(${var} ${out} PARENT_SCOPE)
endfunction()
