# Cross-built for Windows, the programs and tests run here under wine
# (windows/wine.sh.in): ctest starts each test through it.
include(${CMAKE_SOURCE_DIR}/windows/runtime.cmake)
set(dll_dirs "Z:${BREVIX_QT_BIN}")
foreach(dll ${BREVIX_RUNTIME_DLLS})
  get_filename_component(dir ${dll} DIRECTORY)
  list(APPEND dll_dirs "Z:${dir}")
endforeach()
list(REMOVE_DUPLICATES dll_dirs)
string(REPLACE "/" "\\" BREVIX_WINEPATH "${dll_dirs}")
configure_file(${CMAKE_SOURCE_DIR}/windows/wine.sh.in ${CMAKE_BINARY_DIR}/wine.sh @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine.sh)
