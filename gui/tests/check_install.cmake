# Installs the whole build into a scratch prefix and checks that the dialog,
# its menu entry and its icon land where a desktop's menu looks for them,
# and that the entry names the program and the icon that were installed.
#   cmake -DBUILD_DIR=DIR -DPREFIX=DIR -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(entry ${PREFIX}/share/applications/pixmold-gui.desktop)
if(NOT EXISTS ${entry})
  message(FATAL_ERROR "no menu entry at ${entry}")
endif()
file(STRINGS ${entry} exec REGEX "^Exec=")
file(STRINGS ${entry} icon REGEX "^Icon=")
string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" program "${exec}")
string(REGEX REPLACE "^Icon=" "" icon "${icon}")
if(NOT EXISTS ${PREFIX}/bin/${program} OR IS_DIRECTORY ${PREFIX}/bin/${program})
  message(FATAL_ERROR "the menu entry runs '${program}', which is not in ${PREFIX}/bin")
endif()
foreach(size 48 256)
  set(picture ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/${icon}.png)
  if(NOT EXISTS ${picture})
    message(FATAL_ERROR "the menu entry's icon '${icon}' has no ${size}x${size} picture (${picture})")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
