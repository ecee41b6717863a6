# The page's program (quorvel.js, quorvel.wasm) and its data (quorvel.data), written to the top of
# the web build folder beside the page (web/index.html): the driver on the web backend, the
# capture's script reader and timedemo report, and the demo world made by a Linux build's tools.

# The world, the font and the flight the page carries, from a Linux build's run folder (scripts/web.sh
# builds it first, as scripts/windows.sh does).
set(QV_WEB_WORLD ${CMAKE_SOURCE_DIR}/build/run CACHE PATH "A Linux build's run folder: demo.kbw, demo.ktl, textures/, font.kbf")
foreach(f demo.kbw demo.ktl font.kbf textures)
  if(NOT EXISTS ${QV_WEB_WORLD}/${f})
    message(FATAL_ERROR "${QV_WEB_WORLD}/${f} is missing: build the Linux tools first (scripts/web.sh does)")
  endif()
endforeach()

# The JSON library is header-only and needs nothing of the system; its headers are copied so that
# the system's include folder never reaches the Emscripten compiler.
find_path(QV_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT QV_JSON_INCLUDE)
  message(FATAL_ERROR "nlohmann/json.hpp not found: run scripts/deps.sh (nlohmann-json3-dev)")
endif()
file(COPY ${QV_JSON_INCLUDE}/nlohmann DESTINATION ${CMAKE_BINARY_DIR}/json-include)

add_executable(quorvel main_web.cpp web_options.cpp
               ${CMAKE_SOURCE_DIR}/tools/capture/script.cpp ${CMAKE_SOURCE_DIR}/tools/capture/report.cpp
               ${CMAKE_SOURCE_DIR}/tools/capture/plot.cpp)
target_include_directories(quorvel SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/json-include)
target_link_libraries(quorvel PRIVATE quorvel_app quorvel_ll_web)
set_target_properties(quorvel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} SUFFIX .js)

# Only the files the page needs, in a folder of their own: a run folder may also hold logs and
# screenshots of earlier runs.
set(QV_WEB_DATA ${CMAKE_BINARY_DIR}/web-data)
file(GLOB QV_WEB_TEXTURES CONFIGURE_DEPENDS ${QV_WEB_WORLD}/textures/*)
add_custom_command(
  OUTPUT ${QV_WEB_DATA}/demo.kbw
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${QV_WEB_DATA}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_WEB_DATA}/textures
  COMMAND ${CMAKE_COMMAND} -E copy ${QV_WEB_WORLD}/demo.kbw ${QV_WEB_WORLD}/demo.ktl ${QV_WEB_WORLD}/font.kbf
          ${CMAKE_SOURCE_DIR}/data/flight.txt ${QV_WEB_DATA}/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${QV_WEB_WORLD}/textures ${QV_WEB_DATA}/textures
  DEPENDS ${QV_WEB_WORLD}/demo.kbw ${QV_WEB_WORLD}/demo.ktl ${QV_WEB_WORLD}/font.kbf ${QV_WEB_TEXTURES}
          ${CMAKE_SOURCE_DIR}/data/flight.txt
  COMMENT "Gathering the demo world for the page"
  VERBATIM)
add_custom_target(quorvel_web_data DEPENDS ${QV_WEB_DATA}/demo.kbw)
add_dependencies(quorvel quorvel_web_data)

# The page's own files beside the program; the page's footer names the version.
foreach(f quorvel-page.js quorvel-touch.js quorvel-page.css)
  configure_file(${CMAKE_SOURCE_DIR}/web/${f} ${CMAKE_BINARY_DIR}/${f} COPYONLY)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/web/index.html ${CMAKE_BINARY_DIR}/index.html @ONLY)

target_link_options(quorvel PRIVATE
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1
  -sINVOKE_RUN=0
  -sMIN_WEBGL_VERSION=1 -sMAX_WEBGL_VERSION=1
  "-sEXPORTED_FUNCTIONS=_main,_malloc,_free"
  "-sEXPORTED_RUNTIME_METHODS=callMain,ccall,FS,UTF8ToString,HEAPU8,HEAPF32"
  --preload-file ${QV_WEB_DATA}@/demo)
set_property(TARGET quorvel APPEND PROPERTY LINK_DEPENDS ${QV_WEB_DATA}/demo.kbw)
