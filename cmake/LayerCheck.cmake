# The layers of the program depend one way: raster <- engine <- cli and ui <- app. A source
# file that includes a header of a layer above its own fails the build, before its library
# is compiled, naming the file and the line.
#
# Included: defines tavelix_check_layer(<target> <layer>), which checks every source and header
# listed for the target whenever one of them changes.
# Run as a script (cmake -D LAYER=... -D FORBIDDEN=a|b -D SOURCES=x|y -D STAMP=file -P this):
# the check itself.

if(CMAKE_SCRIPT_MODE_FILE)
    string(REPLACE "|" ";" sources "${SOURCES}")
    set(found "")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS includes)
            # "engine/x.h", <engine/x.h>, also reached through "../"
            if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"](\\.\\./)*(${FORBIDDEN})/")
                string(APPEND found "\n  ${source}: ${line}")
            endif()
        endforeach()
    endforeach()
    if(found)
        string(REPLACE "|" ", " above "${FORBIDDEN}")
        message(FATAL_ERROR "The ${LAYER} layer includes a layer above it (${above}):${found}")
    endif()
    file(TOUCH "${STAMP}")
    return()
endif()

# Layers a layer must not include.
set(TAVELIX_LAYERS_ABOVE_raster engine cli ui app)
set(TAVELIX_LAYERS_ABOVE_engine cli ui app)
set(TAVELIX_LAYERS_ABOVE_cli ui app)
set(TAVELIX_LAYERS_ABOVE_ui cli app)
set(TAVELIX_LAYER_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(tavelix_check_layer target layer)
    if(NOT DEFINED TAVELIX_LAYERS_ABOVE_${layer})
        message(FATAL_ERROR "tavelix_check_layer: unknown layer ${layer}")
    endif()
    list(JOIN TAVELIX_LAYERS_ABOVE_${layer} "|" forbidden)
    get_target_property(listed ${target} SOURCES)
    get_target_property(folder ${target} SOURCE_DIR)
    set(sources "")
    foreach(source IN LISTS listed)
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${folder})
        list(APPEND sources ${source})
    endforeach()
    list(JOIN sources "|" joined)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.layer-check)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -D LAYER=${layer} -D FORBIDDEN=${forbidden} -D SOURCES=${joined}
                -D STAMP=${stamp} -P ${TAVELIX_LAYER_CHECK_SCRIPT}
        DEPENDS ${sources} ${TAVELIX_LAYER_CHECK_SCRIPT}
        COMMENT "Checking that ${target} includes no layer above ${layer}"
        VERBATIM)
    add_custom_target(${target}_layer_check DEPENDS ${stamp})
    add_dependencies(${target} ${target}_layer_check)
endfunction()
