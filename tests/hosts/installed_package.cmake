# Installs the library into a fresh prefix, then builds the C host against it twice, outside the
# source tree (with find_package and with pkg-config), and runs both builds.
# Arguments: BUILD_DIR, WORK_DIR, HOST_SOURCE (the host's project), HOST_C (its host.c),
# HOST_FLAGS, C_COMPILER, LIB_DIR.

function(run_checked)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        string(REPLACE ";" " " command "${ARGN}")
        message(FATAL_ERROR "failed (${status}): ${command}\n${out}\n${err}")
    endif()
    set(last_output "${out}" PARENT_SCOPE)
endfunction()

# The host writes its scene on standard output: a whole Scene file, through to its last light.
function(expect_scene what)
    if(NOT last_output MATCHES "^//---vantel:dal:7---\n.*\"panel\"")
        message(FATAL_ERROR "${what}: not the host's scene:\n${last_output}")
    endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(project_copy ${WORK_DIR}/host-source)
file(MAKE_DIRECTORY ${WORK_DIR})
# A copy, so nothing of the source tree is on any include path.
file(COPY ${HOST_SOURCE}/ DESTINATION ${project_copy})
configure_file(${HOST_C} ${project_copy}/host.c COPYONLY)

run_checked(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed include/sceneapi_cs_wrapper.h ${LIB_DIR}/libsceneapi_cs_wrapper.so
        ${LIB_DIR}/cmake/sceneapi_cs_wrapper/sceneapi_cs_wrapperConfig.cmake
        ${LIB_DIR}/pkgconfig/sceneapi_cs_wrapper.pc)
    if(NOT EXISTS ${prefix}/${installed})
        message(FATAL_ERROR "not installed: ${installed}")
    endif()
endforeach()

# find_package: the imported target brings the include path and the library.
run_checked(${CMAKE_COMMAND} -S ${project_copy} -B ${WORK_DIR}/cmake-build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER}
    "-DCMAKE_C_FLAGS=${HOST_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${HOST_FLAGS}")
run_checked(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run_checked(${WORK_DIR}/cmake-build/host -)
expect_scene("find_package host")

# pkg-config: the flags it prints are all the compiler is told.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIB_DIR}/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs sceneapi_cs_wrapper
    RESULT_VARIABLE status OUTPUT_VARIABLE pc_flags OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know sceneapi_cs_wrapper")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(host_flags UNIX_COMMAND "${HOST_FLAGS}")
run_checked(${C_COMPILER} ${host_flags} ${project_copy}/host.c ${pc_flags}
    -o ${WORK_DIR}/pkg-config-host)
set(ENV{LD_LIBRARY_PATH} ${prefix}/${LIB_DIR})
run_checked(${WORK_DIR}/pkg-config-host -)
expect_scene("pkg-config host")
