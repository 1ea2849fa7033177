# engine_face.cmake - keeps the engine's internals private: other layers include only its public headers.
#
# The engine's public face is the list given to zor_engine_face (the
# drivers, the streaming codec, the CRC, the worker pool). Everything else
# in engine/ is its own business: configuring fails when a source of a
# layer above (archive/, cli/, ui/, shellview/, platform/) includes it.
# The engine's own tests, fuzz targets and benchmarks may reach inside.

function(zor_engine_face)
  cmake_parse_arguments(FACE "" "" "PUBLIC;LAYERS" ${ARGN})
  set(offences "")
  foreach(layer IN LISTS FACE_LAYERS)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
         ${PROJECT_SOURCE_DIR}/${layer}/*.cpp ${PROJECT_SOURCE_DIR}/${layer}/*.h)
    foreach(source IN LISTS sources)
      file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"engine/")
      foreach(line IN LISTS includes)
        string(REGEX REPLACE ".*\"engine/([^\"]+)\".*" "\\1" header "${line}")
        if(NOT header IN_LIST FACE_PUBLIC)
          file(RELATIVE_PATH where ${PROJECT_SOURCE_DIR} ${source})
          list(APPEND offences "${where} includes engine/${header}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(offences)
    list(JOIN offences "\n  " text)
    message(FATAL_ERROR "Only the engine's public headers (${FACE_PUBLIC}) may be included outside it:\n  ${text}")
  endif()
endfunction()
