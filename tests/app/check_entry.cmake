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
run(2 "^$" ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${PROGRAM} --no-such-option)
if(NOT last_err MATCHES "unknown option --no-such-option")
    message(FATAL_ERROR "no word on the unknown option: ${last_err}")
endif()
