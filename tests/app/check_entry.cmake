# What the program's entry answers before any window: --help and --version need no display,
# an unknown option is a usage error (status 2) once the platform is there.
# cmake -D PROGRAM=<tavelix> -D VERSION=x.y.z -P this
function(run expect_status expect_out)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status STREQUAL expect_status OR NOT out MATCHES "${expect_out}")
        string(JOIN " " command ${ARGN})
        message(FATAL_ERROR "${command}: status ${status} (expected ${expect_status})\n"
                            "stdout: ${out}\nstderr: ${err}")
    endif()
    set(last_err "${err}" PARENT_SCOPE)
endfunction()

set(no_display ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM)
string(REPLACE "." "\\." version "${VERSION}")
run(0 "^tavelix ${version}\n$" ${no_display} ${PROGRAM} --version)
run(0 "^Usage: tavelix \\[FILE\\.\\.\\.\\]\n.*--version" ${no_display} ${PROGRAM} --help)
# without a display, the window cannot start: said, and not a success
run(1 "^$" ${no_display} ${PROGRAM})
if(NOT last_err MATCHES "no display")
    message(FATAL_ERROR "no word on the missing display: ${last_err}")
endif()
# an unknown option is a usage error, with a display or without one; Qt's own options are not
foreach(environment "QT_QPA_PLATFORM=offscreen" "--unset=QT_QPA_PLATFORM")
    run(2 "^$" ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY ${environment} ${PROGRAM}
        --no-such-option)
    if(NOT last_err MATCHES "unknown option --no-such-option")
        message(FATAL_ERROR "no word on the unknown option: ${last_err}")
    endif()
endforeach()
run(1 "^$" ${no_display} ${PROGRAM} -style fusion)

# Files named on the command line that cannot be opened are named on standard error, each
# once, and left out before the window starts: no box repeats what was said, no show begins
# with a slot of nothing. The window stays open: the run is ended by its time limit.
set(folder ${CMAKE_CURRENT_BINARY_DIR}/entry-files)
file(REMOVE_RECURSE ${folder})
file(MAKE_DIRECTORY ${folder}/dir.jpg)
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                        ${PROGRAM} ${folder}/dir.jpg ${folder}/missing.jpg
                TIMEOUT 2 ERROR_VARIABLE err OUTPUT_QUIET)
file(REMOVE_RECURSE ${folder})
set(expected "tavelix: cannot read ${folder}/dir.jpg: not a regular file but a folder\n"
             "tavelix: ${folder}/missing.jpg: no such file\n")
string(JOIN "" expected ${expected})
string(REGEX MATCHALL "tavelix: [^\n]*\n" said "${err}")  # not the platform's own notes
string(JOIN "" said ${said})
if(NOT said STREQUAL expected)
    message(FATAL_ERROR "files that cannot be opened: stderr\n${err}\nexpected\n${expected}")
endif()
