# The pictures, each drawn once as SVG and rendered at build time: the maker's
# wordmark for the window (204 x 89, opaque), and the application's icon at
# every size desktops and Windows ask for. Targets that use them depend on
# corvane_images.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(CORVANE_IMAGES_DIR ${PROJECT_BINARY_DIR}/images)
set(CORVANE_LOGO_PNG ${CORVANE_IMAGES_DIR}/veltra_logo.png)
set(CORVANE_ICON_SVG ${PROJECT_SOURCE_DIR}/packaging/icons/usb-corvane-config.svg)
set(logo_svg ${PROJECT_SOURCE_DIR}/app/veltra_logo.svg)
add_custom_command(OUTPUT ${CORVANE_LOGO_PNG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CORVANE_IMAGES_DIR}
  COMMAND ${RSVG_CONVERT} --output ${CORVANE_LOGO_PNG} ${logo_svg}
  DEPENDS ${logo_svg} VERBATIM)
set(CORVANE_ICON_PNGS)
foreach(size ${CORVANE_ICON_SIZES})
  set(png ${CORVANE_IMAGES_DIR}/usb-corvane-config-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CORVANE_IMAGES_DIR}
    COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${CORVANE_ICON_SVG}
    DEPENDS ${CORVANE_ICON_SVG} VERBATIM)
  list(APPEND CORVANE_ICON_PNGS ${png})
endforeach()
add_custom_target(corvane_images ALL DEPENDS ${CORVANE_LOGO_PNG} ${CORVANE_ICON_PNGS})
