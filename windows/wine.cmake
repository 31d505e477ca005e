# Cross-built for Windows, the programs and tests run here under wine
# (windows/wine.sh.in): ctest starts each test through it.
get_target_property(qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(qt_bin ${qt_core} DIRECTORY)
get_filename_component(qt_prefix ${qt_bin} DIRECTORY)
find_file(LIBZIP_DLL libzip.dll PATH_SUFFIXES bin REQUIRED)
find_file(ZLIB_DLL zlib1.dll PATH_SUFFIXES lib bin REQUIRED)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll OUTPUT_VARIABLE cxx_runtime
                OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll OUTPUT_VARIABLE thread_runtime
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(dll_dirs)
foreach(dll ${LIBZIP_DLL} ${ZLIB_DLL} ${cxx_runtime} ${thread_runtime})
  get_filename_component(dir ${dll} DIRECTORY)
  list(APPEND dll_dirs "Z:${dir}")
endforeach()
list(PREPEND dll_dirs "Z:${qt_bin}")
list(REMOVE_DUPLICATES dll_dirs)
string(REPLACE "/" "\\" dll_dirs "${dll_dirs}")
set(BREVIX_WINEPATH "${dll_dirs}")
string(REPLACE "/" "\\" BREVIX_QT_PLUGINS "Z:${qt_prefix}/plugins")
configure_file(${CMAKE_SOURCE_DIR}/windows/wine.sh.in ${CMAKE_BINARY_DIR}/wine.sh @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine.sh)
