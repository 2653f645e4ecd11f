# The artwork is drawn as SVG. Qt for Windows built here has no SVG module, so a cross build for
# Windows draws each picture into a PNG at build time, at twice its size: at the scales up to
# 200% no button picture or window icon is shown larger than its picture.
# Either way a picture's resource name carries no format (":/icons/main"): Qt tells SVG from PNG
# by content, so the code that loads it is the same everywhere.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
endif()

# Adds the SVG files (paths relative to the current source folder) to target's resources under
# prefix.
function(sockview_add_artwork target resource prefix)
  set(files)
  foreach(svg IN LISTS ARGN)
    get_filename_component(name ${svg} NAME_WE)
    set(file ${CMAKE_CURRENT_SOURCE_DIR}/${svg})
    if(RSVG_CONVERT)
      set(png ${CMAKE_CURRENT_BINARY_DIR}/artwork/${name}.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${RSVG_CONVERT} --zoom 2 --output ${png} ${file}
        DEPENDS ${file} VERBATIM)
      set(file ${png})
    endif()
    set_source_files_properties(${file} PROPERTIES QT_RESOURCE_ALIAS ${name})
    list(APPEND files ${file})
  endforeach()
  qt_add_resources(${target} ${resource} PREFIX ${prefix} FILES ${files})
endfunction()
