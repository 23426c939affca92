# Builds the Debian package and checks it as Debian would: every file it
# installs and none else, the link on the PATH, dependencies computed from
# the binaries, and no error from lintian.
# cmake -DBUILD_DIR=... -DWORK_DIR=... -P package_deb.cmake

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND cpack --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  message(FATAL_ERROR "package: cpack failed\n${output}")
endif()
file(GLOB package "${WORK_DIR}/*.deb")
execute_process(COMMAND dpkg-deb --contents ${package} OUTPUT_VARIABLE listing)
execute_process(COMMAND dpkg-deb --field ${package} Depends OUTPUT_VARIABLE depends)
execute_process(COMMAND lintian --tag-display-limit 0 ${package} OUTPUT_VARIABLE lintian ERROR_VARIABLE lintian)
message(STATUS "lintian:\n${lintian}")

# Everything but the folders, as "mode path" with a link's target.
string(REGEX MATCHALL "\n[-l][^ ]+ [^\n]*" entries "\n${listing}")
set(contents)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^\n([^ ]+) .* \\./([^ ]+( -> [^ ]+)?)$" "\\1 \\2" entry "${entry}")
  list(APPEND contents "${entry}")
endforeach()
list(SORT contents)
set(icons)
foreach(size 128 16 24 256 32 48 64)
  list(APPEND icons "-rw-r--r-- usr/share/icons/hicolor/${size}x${size}/apps/morvane.png")
endforeach()
set(expected
    "-rw-r--r-- usr/lib/morvane/Morvanehlp.txt"
    "-rw-r--r-- usr/share/applications/org.example.morvane.desktop"
    "-rw-r--r-- usr/share/doc/morvane/changelog.gz"
    "-rw-r--r-- usr/share/doc/morvane/copyright"
    ${icons}
    "-rw-r--r-- usr/share/icons/hicolor/scalable/apps/morvane.svg"
    "-rw-r--r-- usr/share/man/man1/morvane-resize.1.gz"
    "-rw-r--r-- usr/share/man/man1/morvane.1.gz"
    "-rw-r--r-- usr/share/metainfo/org.example.morvane.metainfo.xml"
    "-rwxr-xr-x usr/bin/morvane-resize"
    "-rwxr-xr-x usr/lib/morvane/morvane"
    "lrwxrwxrwx usr/bin/morvane -> ../lib/morvane/morvane")
list(SORT expected)

if(NOT contents STREQUAL expected)
  message(FATAL_ERROR "package: its files are not as they should be:\n${listing}")
endif()
if(NOT depends MATCHES "libqt6widgets6 \\(" OR NOT depends MATCHES "qt6-qpa-plugins")
  message(FATAL_ERROR "package: dependencies not computed: ${depends}")
endif()
if(lintian MATCHES "(^|\n)E: ")
  message(FATAL_ERROR "package: lintian reports errors")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
