# The program's icon is drawn once, as SVG (PARLUNE_ICON_SVG); the sizes that windows, menus and
# docks show are rendered from it at build time.

# Renders the icon at each size given after out_var into icons/<size>.png in the current
# binary folder, and sets out_var to those files.
function(parlune_render_icon out_var)
    find_program(RSVG_CONVERT rsvg-convert REQUIRED)
    set(pngs)
    foreach(size ${ARGN})
        set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${PARLUNE_ICON_SVG}
            DEPENDS ${PARLUNE_ICON_SVG}
            VERBATIM)
        list(APPEND pngs ${png})
    endforeach()
    set(${out_var} ${pngs} PARENT_SCOPE)
endfunction()
