# Runs the README's complete examples, in the order the README gives them, in one scratch folder
# that looks like the checkout (include, bindings, examples and build lead to the real ones), so
# that every command runs exactly as written. A block is an example when the line before its
# opening fence is "<!-- example: KIND [FILE] -->":
#   c FILE       saved as FILE, compiled against include/ and the built library, run
#   csharp FILE  saved as FILE, compiled with mcs and the C# binding, run under mono
#   sh [FILE]    run with bash -e (after being saved as FILE when one is named)
# Fragments stay unmarked. HOME, TMPDIR and the record files are the scratch folder's own; any
# stand-in instance an example started is stopped at the end.
# Arguments: SOURCE_DIR, BUILD_DIR, WORK_DIR, C_COMPILER, HOST_FLAGS, PRELOAD, MCS, MONO.

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/home ${WORK_DIR}/tmp)
foreach(link include bindings examples)
    file(CREATE_LINK ${SOURCE_DIR}/${link} ${WORK_DIR}/${link} SYMBOLIC)
endforeach()
file(CREATE_LINK ${BUILD_DIR} ${WORK_DIR}/build SYMBOLIC)

set(ENV{HOME} ${WORK_DIR}/home)
set(ENV{TMPDIR} ${WORK_DIR}/tmp)
set(ENV{SCENEAPI_HKLM_REG} ${WORK_DIR}/no-machine-records.reg)
foreach(variable XDG_CONFIG_HOME XDG_STATE_HOME SCENEAPI_HKCU_REG PHOTARA_SIM_INSTANCES
        PHOTARA_SIM_OUTPUT PHOTARA_SIM_VERSION PHOTARA_SIM_PORT PKG_CONFIG_PATH)
    unset(ENV{${variable}})
endforeach()
set(run_env)
if(PRELOAD)
    # A sanitized library: its runtimes go first in every program that loads it.
    set(run_env ${CMAKE_COMMAND} -E env "LD_PRELOAD=${PRELOAD}" ASAN_OPTIONS=detect_leaks=0)
endif()
separate_arguments(host_flags UNIX_COMMAND "${HOST_FLAGS}")

set(failures "")
set(examples 0)
function(run what)
    execute_process(COMMAND ${run_env} ${ARGN} WORKING_DIRECTORY ${WORK_DIR}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        string(REPLACE ";" " " command "${ARGN}")
        set(failures "${failures}\n== ${what}: ${command} (${status})\n${out}${err}" PARENT_SCOPE)
    endif()
endfunction()

# The README as a list of lines; the characters a CMake list treats specially stand in for
# themselves as placeholders until a block is written out.
file(READ ${SOURCE_DIR}/README.md readme)
string(REPLACE ";" "@SEMICOLON@" readme "${readme}")
string(REPLACE "[" "@OPEN@" readme "${readme}")
string(REPLACE "]" "@CLOSE@" readme "${readme}")
string(REPLACE "\\" "@BACKSLASH@" readme "${readme}")
string(REPLACE "\n" ";" lines "${readme}")
set(kind "")
set(in_block FALSE)
set(line_number 0)
foreach(line IN LISTS lines)
    math(EXPR line_number "${line_number} + 1")
    if(in_block)
        if(line MATCHES "^```$")
            set(in_block FALSE)
            math(EXPR examples "${examples} + 1")
            set(what "README.md line ${start} (${kind} ${name})")
            set(path ${WORK_DIR}/${name})
            string(REPLACE "@SEMICOLON@" ";" text "${text}")
            string(REPLACE "@OPEN@" "[" text "${text}")
            string(REPLACE "@CLOSE@" "]" text "${text}")
            string(REPLACE "@BACKSLASH@" "\\" text "${text}")
            file(WRITE ${path} "${text}")
            if(kind STREQUAL "c")
                get_filename_component(stem ${name} NAME_WE)
                run("${what}" ${C_COMPILER} -std=c99 -Wall -Wextra -Werror ${host_flags}
                    ${path} -I${WORK_DIR}/include -L${BUILD_DIR}/cs_wrapper -lsceneapi_cs_wrapper
                    -Wl,-rpath,${BUILD_DIR}/cs_wrapper -o ${WORK_DIR}/${stem})
                run("${what}" ${WORK_DIR}/${stem})
            elseif(kind STREQUAL "csharp")
                get_filename_component(stem ${name} NAME_WE)
                run("${what}" ${MCS} -unsafe -out:${WORK_DIR}/${stem}.exe
                    ${SOURCE_DIR}/bindings/csharp/Native.cs
                    ${SOURCE_DIR}/bindings/csharp/SceneExport.cs ${path})
                run("${what}" ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${BUILD_DIR}/cs_wrapper
                    ${MONO} ${WORK_DIR}/${stem}.exe)
            else()
                run("${what}" bash -e ${path})
            endif()
            set(kind "")
        else()
            string(APPEND text "${line}\n")
        endif()
    elseif(line MATCHES "^<!-- example: (c|csharp|sh) ?([^ ]*) -->$")
        set(kind ${CMAKE_MATCH_1})
        set(name "${CMAKE_MATCH_2}")
        if("${name}" STREQUAL "")
            set(name example-${line_number}.sh)
        endif()
    elseif(kind AND line MATCHES "^```")
        set(in_block TRUE)
        set(text "")
        set(start ${line_number})
    elseif(NOT line STREQUAL "")
        set(kind "")
    endif()
endforeach()

# Stand-in instances started by the examples (by the library, detached) end here.
execute_process(COMMAND ${BUILD_DIR}/tools/photara-sim/bin/photara-sim stop
    OUTPUT_QUIET ERROR_QUIET)
if(examples EQUAL 0)
    message(FATAL_ERROR "README.md marks no example")
endif()
if(failures)
    message(FATAL_ERROR "README examples that failed:${failures}")
endif()
message(STATUS "${examples} README examples ran")
