# The layer check on trees made for the purpose: one where every include points down or
# sideways passes; each upward include, and an include of a folder that is no layer, is
# refused and named. Then the real source tree passes.
# Usage: cmake -DSCRIPT=<cmake/check-layers.cmake> -DSOURCE=<source tree> -DWORK=<scratch folder> -P check_layers_test.cmake
function(run_check root expect_pass label)
    execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${root} -P ${SCRIPT}
                    RESULT_VARIABLE result ERROR_VARIABLE output OUTPUT_VARIABLE output)
    if(expect_pass AND NOT result EQUAL 0)
        message(FATAL_ERROR "${label}: refused, should pass:\n${output}")
    elseif(NOT expect_pass)
        if(result EQUAL 0)
            message(FATAL_ERROR "${label}: passed, should be refused")
        endif()
        foreach(named ${ARGN})
            string(FIND "${output}" "${named}" at)
            if(at EQUAL -1)
                message(FATAL_ERROR "${label}: refusal does not name '${named}':\n${output}")
            endif()
        endforeach()
    endif()
endfunction()

# A tree with a file in each layer including what it may: its own folder, the layers
# below, helper_api/ and a header without a folder.
function(make_tree root)
    file(REMOVE_RECURSE ${root})
    set(below)
    foreach(layer platform support logon session commands connect)
        set(text "#include \"${layer}/own.h\"\n#include \"helper_api/helper_api.h\"\n#include \"Vantrell.h\"\n#include <windows.h>\n")
        foreach(lower ${below})
            string(APPEND text "#include \"${lower}/own.h\"\n")
        endforeach()
        file(WRITE ${root}/${layer}/own.h "#pragma once\n")
        file(WRITE ${root}/${layer}/uses.cpp "${text}")
        list(APPEND below ${layer})
    endforeach()
    file(WRITE ${root}/helper_api/helper_api.h "#pragma once\n")
endfunction()

set(tree ${WORK}/layers_tree)
make_tree(${tree})
run_check(${tree} TRUE "a tree whose includes point down")

# Each step up, from a header and from a source file; the lowest layer to the highest.
set(cases
    "support/reg_op.h|connect/type_library.h"
    "session/insp_wrap.cpp|commands/commands.h"
    "commands/commands.cpp|connect/connect.h"
    "platform/com_object.h|support/trace.h"
    "logon/logon_dialog.cpp|session/crm_addin.h"
    "platform/events.cpp|connect/connect.h"
    "helper_api/helper_api.h|platform/com_ptr.h"
    "connect/ribbon.cpp|tests/platform/fake_dispatch.h")
foreach(case ${cases})
    string(REPLACE "|" ";" parts "${case}")
    list(GET parts 0 file)
    list(GET parts 1 included)
    make_tree(${tree})
    file(APPEND ${tree}/${file} "  #  include \"${included}\"\n")
    run_check(${tree} FALSE "${file} including ${included}" "${file}" "${included}")
endforeach()
file(REMOVE_RECURSE ${tree})

run_check(${SOURCE} TRUE "the add-in's own source tree")
