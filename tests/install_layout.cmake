# Installs the build into a scratch prefix and checks what a user gets: the
# program in a folder of its own beside its help text, commands on the PATH
# (morvane a link to the program), a desktop entry with its icon, and an
# install manifest that names every file installed, so that it removes all.
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DPREFIX=... -P install_layout.cmake

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
set(program "${PREFIX}/lib/morvane/morvane")
file(SHA256 "${SOURCE_DIR}/app/Morvanehlp.txt" help_wanted)
if(EXISTS "${PREFIX}/lib/morvane/Morvanehlp.txt")
  file(SHA256 "${PREFIX}/lib/morvane/Morvanehlp.txt" help_installed)
endif()
file(REAL_PATH "${PREFIX}/bin/morvane" command)
file(STRINGS "${PREFIX}/share/applications/org.example.morvane.desktop" entry REGEX "^(Exec|Icon)=morvane$")
file(GLOB_RECURSE installed LIST_DIRECTORIES false "${PREFIX}/*")
file(STRINGS "${BUILD_DIR}/install_manifest.txt" manifest)
list(SORT installed)
list(SORT manifest)
# Started through the link, the installed program must come up and stay up.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen "${PREFIX}/bin/morvane"
                TIMEOUT 3 RESULT_VARIABLE started)

foreach(check "NOT failed" "help_installed STREQUAL help_wanted" "IS_SYMLINK ${PREFIX}/bin/morvane"
              "command STREQUAL program" "EXISTS ${PREFIX}/bin/morvane-resize" "entry STREQUAL \"Exec=morvane;Icon=morvane\""
              "EXISTS ${PREFIX}/share/icons/hicolor/48x48/apps/morvane.png" "installed STREQUAL manifest"
              "started MATCHES timeout")
  cmake_language(EVAL CODE "if(NOT (${check}))\n message(FATAL_ERROR \"install: not so: ${check}\\n${output}\")\nendif()")
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
