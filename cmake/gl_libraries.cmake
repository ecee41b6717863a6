# Libraries that make OpenGL calls (scene, render, text, app and the offscreen backend) are built
# with qv_gl_library. QV_GL chooses what their <GL/gl.h> and their calls are:
#   desktop  the system's OpenGL (Linux, Windows);
#   es2      the GL 1.1 layer on OpenGL ES 2.0 / WebGL 1 (glcompat/), forced under Emscripten.
# In the desktop build on Linux each such library X also gets X_es, the same sources built against
# the layer, so that tests can draw the same frames both ways (quorvel-capture-es).
if(EMSCRIPTEN)
  set(QV_GL es2 CACHE STRING "OpenGL the GL-using libraries are built against: desktop or es2" FORCE)
else()
  set(QV_GL desktop CACHE STRING "OpenGL the GL-using libraries are built against: desktop or es2")
endif()
set_property(CACHE QV_GL PROPERTY STRINGS desktop es2)
if(NOT QV_GL STREQUAL "desktop" AND NOT QV_GL STREQUAL "es2")
  message(FATAL_ERROR "QV_GL must be desktop or es2, not '${QV_GL}'")
endif()
if(QV_GL STREQUAL "desktop" AND NOT WIN32 AND NOT EMSCRIPTEN)
  set(QV_GL_ES_VARIANTS ON)
else()
  set(QV_GL_ES_VARIANTS OFF)
endif()

# qv_gl_library(NAME SOURCES src... [GL_LIBS lib...] [LIBS lib...])
#   GL_LIBS: libraries that are themselves qv_gl_library targets (their _es variant is linked
#   into NAME_es); LIBS: everything else, linked PUBLIC into both.
function(qv_gl_library name)
  cmake_parse_arguments(A "" "" "SOURCES;GL_LIBS;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC ${A_GL_LIBS} ${A_LIBS})
  if(QV_GL STREQUAL "es2")
    target_link_libraries(${name} PUBLIC quorvel_glcompat)
  else()
    target_link_libraries(${name} PUBLIC OpenGL::GL)
  endif()
  if(QV_GL_ES_VARIANTS)
    set(es_libs)
    foreach(l ${A_GL_LIBS})
      list(APPEND es_libs ${l}_es)
    endforeach()
    add_library(${name}_es STATIC EXCLUDE_FROM_ALL ${A_SOURCES})
    target_link_libraries(${name}_es PUBLIC quorvel_glcompat ${es_libs} ${A_LIBS})
  endif()
endfunction()
