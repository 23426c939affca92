# Builds the Debian package and checks it as Debian would: every file it
# installs and none else, the link on the PATH, dependencies computed from
# the binaries, nothing from lintian at any level but what the package
# overrides on purpose, and one release date in its changelog and metainfo.
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -P package_deb.cmake

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND cpack --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  message(FATAL_ERROR "package: cpack failed\n${output}")
endif()
file(GLOB package "${WORK_DIR}/*.deb")
execute_process(COMMAND dpkg-deb --contents ${package} OUTPUT_VARIABLE listing)
execute_process(COMMAND dpkg-deb --field ${package} Depends OUTPUT_VARIABLE depends)
execute_process(COMMAND lintian -I --pedantic --tag-display-limit 0 ${package} OUTPUT_VARIABLE lintian
                ERROR_VARIABLE lintian)
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
    "-rw-r--r-- usr/share/lintian/overrides/morvane"
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
if(lintian MATCHES "(^|\n)[EWIPX]: ")
  message(FATAL_ERROR "package: lintian reports tags that are not overridden")
endif()

# The release date, as the changelog's trailer gives it and as the metainfo
# does.
file(STRINGS "${SOURCE_DIR}/packaging/changelog" trailer REGEX "^ -- ")
string(REGEX MATCH ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) " day "${trailer}")
set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND month_names "${CMAKE_MATCH_2}" month)
math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
if(month LESS 10)
  set(month "0${month}")
endif()
file(STRINGS "${SOURCE_DIR}/packaging/org.example.morvane.metainfo.xml" release REGEX "<release ")
if(NOT release MATCHES "date=\"${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1}\"")
  message(FATAL_ERROR "package: the metainfo's release (${release}) is not of the changelog's date (${trailer})")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
