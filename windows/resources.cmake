# What a Windows program carries in its .exe: its icon, made from the
# desktop's SVG (rsvg-convert, icotool), and its version. Used by apps/.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)

# An .ico of the sizes Windows shows (menus, lists, tiles) from an SVG.
function(brevix_windows_icon svg ico)
  get_filename_component(stem ${ico} NAME_WE)
  set(pngs)
  foreach(size 16 24 32 48 64 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/${stem}-${size}.png)
    add_custom_command(OUTPUT ${png} COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg} DEPENDS ${svg})
    list(APPEND pngs ${png})
  endforeach()
  add_custom_command(OUTPUT ${ico} COMMAND ${ICOTOOL} -c -o ${ico} ${pngs} DEPENDS ${pngs})
endfunction()

# The icon and version resource, and a program with windows (no console of
# its own: it attaches to its parent's when it has one).
function(brevix_windows_program target description)
  set(BREVIX_ICON ${CMAKE_CURRENT_BINARY_DIR}/${target}.ico)
  brevix_windows_icon(${CMAKE_SOURCE_DIR}/desktop/icons/${target}.svg ${BREVIX_ICON})
  set(BREVIX_PROGRAM ${target})
  set(BREVIX_DESCRIPTION "${description}")
  configure_file(${CMAKE_SOURCE_DIR}/windows/program.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}.rc PROPERTIES OBJECT_DEPENDS ${BREVIX_ICON})
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
endfunction()
