# The icon is drawn as text in a script and written at build time, so the
# pixel art stays reviewable in the repository.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(LUMAQUILL_ICON_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated)
set(LUMAQUILL_ICON ${LUMAQUILL_ICON_DIR}/lumaquill.ico)
add_custom_command(
  OUTPUT ${LUMAQUILL_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMAQUILL_ICON_DIR}
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/src/resources/make_icon.py ${LUMAQUILL_ICON}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/resources/make_icon.py
  COMMENT "Drawing the icon")
add_custom_target(lumaquill_icon DEPENDS ${LUMAQUILL_ICON})
