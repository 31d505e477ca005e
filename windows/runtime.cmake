# Where the DLLs the Windows programs run with are: Qt's (BREVIX_QT_BIN,
# its plugins under BREVIX_QT_PREFIX), and BREVIX_RUNTIME_DLLS: libzip's as
# the recipe built it, zlib's and the compiler's runtime as mingw has them.
get_target_property(qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(BREVIX_QT_BIN ${qt_core} DIRECTORY)
get_filename_component(BREVIX_QT_PREFIX ${BREVIX_QT_BIN} DIRECTORY)

pkg_get_variable(libzip_prefix libzip prefix)
set(BREVIX_RUNTIME_DLLS ${libzip_prefix}/bin/libzip.dll)
# The compiler finds mingw's own libraries, zlib's among them.
foreach(dll zlib1.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}")
    message(FATAL_ERROR "${dll} was not found where ${CMAKE_CXX_COMPILER} looks")
  endif()
  list(APPEND BREVIX_RUNTIME_DLLS ${path})
endforeach()
foreach(dll ${BREVIX_RUNTIME_DLLS})
  if(NOT EXISTS ${dll})
    message(FATAL_ERROR "${dll} is missing")
  endif()
endforeach()
