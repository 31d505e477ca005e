# Readies the installed folder STAGE/bin for the installer: symbols stripped
# from every program and DLL, and LIST written with what the uninstaller
# removes, file by file, so that it never takes anything it did not bring.
file(GLOB_RECURSE binaries ${STAGE}/bin/*.dll ${STAGE}/bin/*.exe)
foreach(binary ${binaries})
  execute_process(COMMAND ${STRIP} --strip-unneeded ${binary} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

file(GLOB_RECURSE files RELATIVE ${STAGE}/bin ${STAGE}/bin/*)
list(SORT files)
set(folders)
set(lines "; Made by stage.cmake: what the installer put in $INSTDIR.\n")
foreach(file ${files})
  string(REPLACE "/" "\\" name ${file})
  string(APPEND lines "Delete \"$INSTDIR\\${name}\"\n")
  get_filename_component(folder ${file} DIRECTORY)
  if(folder)
    list(APPEND folders ${folder})
  endif()
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING) # deeper folders first
foreach(folder ${folders})
  string(REPLACE "/" "\\" name ${folder})
  string(APPEND lines "RMDir \"$INSTDIR\\${name}\"\n")
endforeach()
file(WRITE ${LIST} "${lines}")
