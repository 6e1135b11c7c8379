# Makes the Debian packages of the build, unpacks them into a scratch root (as dpkg would install
# them, without touching the system), checks their names, dependencies and the SONAME, then
# builds the C host against the unpacked files only (as pkg-config describes them) and runs it
# and the unpacked tools.
# Arguments: BUILD_DIR, WORK_DIR, HOST_C, HOST_FLAGS, C_COMPILER, VERSION, INTERFACE_MAJOR.

function(run_checked)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        string(REPLACE ";" " " command "${ARGN}")
        message(FATAL_ERROR "failed (${status}): ${command}\n${out}\n${err}")
    endif()
    set(last_output "${out}" PARENT_SCOPE)
endfunction()

function(expect text pattern what)
    if(NOT text MATCHES "${pattern}")
        message(FATAL_ERROR "${what}: \"${text}\" does not match \"${pattern}\"")
    endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(root ${WORK_DIR}/root)
file(MAKE_DIRECTORY ${root})
run_checked(cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/packages)

set(runtime libsceneapi-cs-wrapper${INTERFACE_MAJOR})
set(same_runtime "${runtime} \\(= ${VERSION}\\)")
foreach(package ${runtime} libsceneapi-cs-wrapper-dev sceneapi-cs-wrapper-tools)
    file(GLOB deb ${WORK_DIR}/packages/${package}_${VERSION}_*.deb)
    if(NOT deb)
        message(FATAL_ERROR "no package ${package}_${VERSION}_*.deb")
    endif()
    run_checked(dpkg-deb -f ${deb} Depends)
    if(package STREQUAL runtime)
        expect("${last_output}" "libtinyxml" "${package} depends")
    else()
        expect("${last_output}" "${same_runtime}" "${package} depends")
    endif()
    run_checked(dpkg -x ${deb} ${root})
endforeach()

set(lib ${root}/usr/lib)
run_checked(readelf -d ${lib}/libsceneapi_cs_wrapper.so)
expect("${last_output}" "SONAME\\)[^\n]*\\[libsceneapi_cs_wrapper\\.so\\.${INTERFACE_MAJOR}\\]"
       "SONAME")
foreach(installed include/sceneapi_cs_wrapper.h lib/libsceneapi_cs_wrapper.so.${INTERFACE_MAJOR}
        lib/cmake/sceneapi_cs_wrapper/sceneapi_cs_wrapperConfig.cmake
        share/sceneapi_cs_wrapper/csharp/Native.cs share/sceneapi_cs_wrapper/csharp/SceneExport.cs
        bin/sceneapi-export bin/sceneapi-info bin/sceneapi-convert bin/photara-sim
        libexec/sceneapi_cs_wrapper/photara-sim/bin/vtlphotaralive6_64.so)
    if(NOT EXISTS ${root}/usr/${installed})
        message(FATAL_ERROR "not in the packages: /usr/${installed}")
    endif()
endforeach()

# The host knows only what pkg-config says of the unpacked root.
set(ENV{PKG_CONFIG_PATH} ${lib}/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${root})
run_checked(pkg-config --cflags --libs sceneapi_cs_wrapper)
string(STRIP "${last_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(host_flags UNIX_COMMAND "${HOST_FLAGS}")
run_checked(${C_COMPILER} ${host_flags} ${HOST_C} ${pc_flags} -o ${WORK_DIR}/host)
run_checked(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${lib} ${WORK_DIR}/host -)
expect("${last_output}" "^//---vantel:dal:7---\n.*\"panel\"" "the host's scene")

# The tools find the library through their run path, the stand-in through its link.
run_checked(${root}/usr/bin/sceneapi-export -o ${WORK_DIR}/sample.scene)
run_checked(${root}/usr/bin/sceneapi-info ${WORK_DIR}/sample.scene)
expect("${last_output}" "Scene file version 10" "sceneapi-info")
run_checked(${root}/usr/bin/photara-sim --version)
expect("${last_output}" "^photara-sim ${VERSION} " "photara-sim --version")
message(STATUS "packages unpacked into ${root}; the host and the tools ran")
