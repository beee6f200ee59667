# Refuses an include that points up the add-in's layers.
# Usage: cmake -DROOT=<source tree> [-DSTAMP=<file touched when the tree passes>] -P check-layers.cmake
#
# The layers, bottom to top, each a folder of ROOT. A file of a layer may include its own
# folder, the folders below it, helper_api/ (free to all) and headers without a folder (the
# generated ones and the system's). helper_api/ itself includes no layer. Every offending
# include is listed; the script fails when there is one.
set(layers platform support logon session commands connect)

if(NOT ROOT)
    message(FATAL_ERROR "check-layers: ROOT is not set")
endif()

set(refused)
set(below)
foreach(folder helper_api ${layers})
    if(folder STREQUAL "helper_api")
        set(allowed helper_api)
    else()
        list(APPEND below ${folder})
        set(allowed ${below} helper_api)
    endif()
    file(GLOB_RECURSE files LIST_DIRECTORIES false
         ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.c
         ${ROOT}/${folder}/*.idl ${ROOT}/${folder}/*.rc)
    foreach(file ${files})
        file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+/")
        foreach(line ${lines})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*$" "\\1" target "${line}")
            list(FIND allowed ${target} at)
            if(at EQUAL -1)
                file(RELATIVE_PATH name ${ROOT} ${file})
                string(STRIP "${line}" line)
                list(APPEND refused "${name}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(refused)
    list(JOIN refused "\n  " text)
    message(FATAL_ERROR "An include points above its layer (bottom to top: ${layers}; "
                        "helper_api/ is free to all):\n  ${text}")
endif()
if(STAMP)
    file(TOUCH ${STAMP})
endif()
