# Installs the build into a scratch prefix and checks what a user gets: the
# program in a folder of its own beside its help text, a command on the PATH
# that leads to it, and a desktop entry with its icon.
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DPREFIX=... -P install_layout.cmake

function(fail)
  message(FATAL_ERROR "install: ${ARGN}")
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT (result EQUAL 0))
  fail("cmake --install failed: ${output}")
endif()

file(GLOB_RECURSE programs LIST_DIRECTORIES false "${PREFIX}/*/morvane/morvane")
list(LENGTH programs count)
if(NOT (count EQUAL 1))
  fail("expected one program folder, found: ${programs}")
endif()
get_filename_component(program_dir "${programs}" DIRECTORY)

file(SHA256 "${SOURCE_DIR}/app/Morvanehlp.txt" help_wanted)
if(NOT (EXISTS ${program_dir}/Morvanehlp.txt))
  fail("no Morvanehlp.txt beside the program in ${program_dir}")
endif()
file(SHA256 "${program_dir}/Morvanehlp.txt" help_installed)
if(NOT (help_installed STREQUAL help_wanted))
  fail("the installed help text differs from app/Morvanehlp.txt")
endif()

set(command "${PREFIX}/bin/morvane")
if(NOT (IS_SYMLINK ${command}))
  fail("${command} is not a link")
endif()
file(REAL_PATH "${command}" resolved)
file(REAL_PATH "${programs}" program_real)
if(NOT (resolved STREQUAL program_real))
  fail("${command} leads to ${resolved}, not to ${program_real}")
endif()

if(NOT (EXISTS ${PREFIX}/bin/morvane-resize))
  fail("no morvane-resize command")
endif()

set(entry "${PREFIX}/share/applications/morvane.desktop")
if(NOT (EXISTS ${entry}))
  fail("no desktop entry")
endif()
file(STRINGS "${entry}" lines)
foreach(wanted "Exec=morvane" "Icon=morvane" "Type=Application")
  list(FIND lines "${wanted}" at)
  if(at EQUAL -1)
    fail("the desktop entry lacks ${wanted}")
  endif()
endforeach()
if(NOT (EXISTS ${PREFIX}/share/icons/hicolor/256x256/apps/morvane.png))
  fail("no application icon")
endif()

# Started through the link, the installed program must come up and stay up.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen "${command}"
                TIMEOUT 3 RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT (result MATCHES "timeout"))
  fail("the installed program did not keep running: ${result} ${output}")
endif()

file(REMOVE_RECURSE "${PREFIX}")
