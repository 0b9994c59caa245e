# Installs the build into a fresh prefix and checks the tree: exactly the files a desktop and
# a shell look for, each where they look for it, nothing else (no libraries, no headers).
# cmake -D BUILD=<build dir> -D PREFIX=<empty folder> -D WINDOW=ON|OFF -D VERSION=x.y.z -P this
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
    message(FATAL_ERROR "cmake --install failed")
endif()

set(expected
    bin/tavelix-cli
    share/doc/tavelix/changelog.gz
    share/doc/tavelix/copyright
    share/locale/de/LC_MESSAGES/tavelix-cli.mo
    share/man/man1/tavelix-cli.1.gz
    share/man/man1/tavelix.1.gz
    share/metainfo/org.example.tavelix.metainfo.xml)
if(WINDOW)
    list(APPEND expected
        bin/tavelix
        share/applications/tavelix.desktop
        share/tavelix/translations/tavelix_de.qm
        share/icons/hicolor/scalable/apps/tavelix.svg)
    foreach(size 16 22 24 32 48 64 128 256)
        list(APPEND expected share/icons/hicolor/${size}x${size}/apps/tavelix.png)
    endforeach()
endif()

file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
    set(missing ${expected})
    list(REMOVE_ITEM missing ${installed})
    set(extra ${installed})
    list(REMOVE_ITEM extra ${expected})
    message(FATAL_ERROR "installed tree differs; missing: ${missing}; not expected: ${extra}")
endif()

# The programs run from where they are installed, and tell the version of the build.
execute_process(COMMAND "${PREFIX}/bin/tavelix-cli" --version OUTPUT_VARIABLE said RESULT_VARIABLE failed)
if(failed OR NOT said MATCHES "${VERSION}")
    message(FATAL_ERROR "installed tavelix-cli --version said: ${said}")
endif()
file(READ "${PREFIX}/share/metainfo/org.example.tavelix.metainfo.xml" metainfo)
if(NOT metainfo MATCHES "<release version=\"${VERSION}\"" OR metainfo MATCHES "@")
    message(FATAL_ERROR "metainfo not filled in for version ${VERSION}")
endif()
if(WINDOW)
    file(READ "${PREFIX}/share/applications/tavelix.desktop" entry)
    if(NOT entry MATCHES "\nExec=tavelix %F\n" OR NOT entry MATCHES "\nIcon=tavelix\n")
        message(FATAL_ERROR "desktop entry does not start tavelix with the chosen files and its icon")
    endif()
endif()
message(STATUS "installed tree as expected: ${PREFIX}")
