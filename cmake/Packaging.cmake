# Install rules and Debian packages. Three components:
#   runtime  the shared library (libsceneapi_cs_wrapper.so.1, its SONAME, and the full version)
#   dev      the header, the unversioned library link, a CMake package with the imported target
#            sceneapi_cs_wrapper::sceneapi_cs_wrapper, a pkg-config file, and the C# binding
#            (its sources and a built assembly) in share/sceneapi_cs_wrapper/csharp
#   tools    sceneapi-export, sceneapi-info, sceneapi-convert in bin/, and the stand-in
#            application with its Live library in libexec/sceneapi_cs_wrapper/photara-sim/bin
#            (linked as bin/photara-sim)
# "cpack -G DEB" in the build folder makes one Debian package of each.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The SONAME follows the interface's major version; the file carries the whole interface version.
if(NOT WIN32)
    set_target_properties(sceneapi_cs_wrapper PROPERTIES
        SOVERSION ${SCENEAPI_INTERFACE_VERSION_MAJOR}
        VERSION ${SCENEAPI_INTERFACE_VERSION}.0)
endif()

set(SCENEAPI_PACKAGE_NAME sceneapi_cs_wrapper)
set(SCENEAPI_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${SCENEAPI_PACKAGE_NAME})

install(TARGETS sceneapi_cs_wrapper EXPORT sceneapi_cs_wrapperTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/sceneapi_cs_wrapper.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT sceneapi_cs_wrapperTargets
    NAMESPACE ${SCENEAPI_PACKAGE_NAME}::
    DESTINATION ${SCENEAPI_PACKAGE_DIR} COMPONENT dev)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/sceneapi_cs_wrapperConfig.cmake.in
    ${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapperConfig.cmake
    INSTALL_DESTINATION ${SCENEAPI_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapperConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapperConfig.cmake
    ${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapperConfigVersion.cmake
    DESTINATION ${SCENEAPI_PACKAGE_DIR} COMPONENT dev)

# The prefix is written at install time so that "cmake --install --prefix DIR" is honoured.
set(SCENEAPI_PREFIX "@SCENEAPI_PREFIX@")
configure_file(${CMAKE_CURRENT_LIST_DIR}/sceneapi_cs_wrapper.pc.in
    ${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapper.pc.in-prefixed @ONLY)
install(CODE "
    file(READ \"${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapper.pc.in-prefixed\" pc_text)
    string(REPLACE \"@SCENEAPI_PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" pc_text \"\${pc_text}\")
    file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/sceneapi_cs_wrapper.pc\" \"\${pc_text}\")
    message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/sceneapi_cs_wrapper.pc\")
" COMPONENT dev)

# Windows hosts load the library by the name they declare: sceneapi_cs_wrapper.dll.
if(WIN32)
    set_target_properties(sceneapi_cs_wrapper PROPERTIES PREFIX "")
endif()

# The tools find the library in the prefix they are installed into.
set(SCENEAPI_TOOLS_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
foreach(tool sceneapi-export sceneapi-info sceneapi-convert)
    if(TARGET ${tool})
        set_target_properties(${tool} PROPERTIES INSTALL_RPATH "${SCENEAPI_TOOLS_RPATH}")
        install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
    endif()
endforeach()

# The stand-in keeps its Live library beside it (its program folder, as a record names it);
# bin/photara-sim links to it, and its own path still names that folder.
if(TARGET photara-sim AND TARGET photara_sim_live)
    set(SCENEAPI_STAND_IN_DIR ${CMAKE_INSTALL_LIBEXECDIR}/${SCENEAPI_PACKAGE_NAME}/photara-sim/bin)
    install(TARGETS photara-sim RUNTIME DESTINATION ${SCENEAPI_STAND_IN_DIR} COMPONENT tools)
    install(TARGETS photara_sim_live LIBRARY DESTINATION ${SCENEAPI_STAND_IN_DIR} COMPONENT tools)
    file(RELATIVE_PATH stand_in_link_target /${CMAKE_INSTALL_BINDIR}
        /${SCENEAPI_STAND_IN_DIR}/photara-sim)
    install(CODE "
        set(bin_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(MAKE_DIRECTORY \"\${bin_dir}\")
        file(CREATE_LINK ${stand_in_link_target} \"\${bin_dir}/photara-sim\" SYMBOLIC)
        message(STATUS \"Installing: \${bin_dir}/photara-sim -> ${stand_in_link_target}\")
    " COMPONENT tools)
endif()

# The C# binding: its sources, and an assembly built with mono's mcs that carries the version.
set(SCENEAPI_CSHARP_SOURCES ${PROJECT_SOURCE_DIR}/bindings/csharp/Native.cs
    ${PROJECT_SOURCE_DIR}/bindings/csharp/SceneExport.cs)
set(SCENEAPI_CSHARP_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/${SCENEAPI_PACKAGE_NAME}/csharp)
install(FILES ${SCENEAPI_CSHARP_SOURCES} DESTINATION ${SCENEAPI_CSHARP_INSTALL_DIR} COMPONENT dev)
find_program(SCENEAPI_ASSEMBLY_MCS mcs)
if(SCENEAPI_ASSEMBLY_MCS AND NOT WIN32)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/AssemblyInfo.cs.in
        ${PROJECT_BINARY_DIR}/generated/AssemblyInfo.cs @ONLY)
    set(SCENEAPI_ASSEMBLY ${PROJECT_BINARY_DIR}/csharp/Photara.SceneApi.dll)
    add_custom_command(OUTPUT ${SCENEAPI_ASSEMBLY}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/csharp
        COMMAND ${SCENEAPI_ASSEMBLY_MCS} -unsafe -target:library -out:${SCENEAPI_ASSEMBLY}
            ${SCENEAPI_CSHARP_SOURCES} ${PROJECT_BINARY_DIR}/generated/AssemblyInfo.cs
        DEPENDS ${SCENEAPI_CSHARP_SOURCES} ${PROJECT_BINARY_DIR}/generated/AssemblyInfo.cs
        VERBATIM)
    add_custom_target(csharp_assembly ALL DEPENDS ${SCENEAPI_ASSEMBLY})
    install(FILES ${SCENEAPI_ASSEMBLY} DESTINATION ${SCENEAPI_CSHARP_INSTALL_DIR} COMPONENT dev)
endif()

# Debian packages: cpack -G DEB, after the build (packaging does not build the tests again).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_PACKAGE_NAME sceneapi-cs-wrapper)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "sceneapi_cs_wrapper developers")
set(CPACK_PACKAGE_CONTACT "sceneapi_cs_wrapper developers <sceneapi@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Flat C interface that hands a 3D scene to Photara as a Scene file or over a live link")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime dev tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libsceneapi-cs-wrapper${SCENEAPI_INTERFACE_VERSION_MAJOR})
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libsceneapi-cs-wrapper-dev)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME sceneapi-cs-wrapper-tools)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "the shared library sceneapi_cs_wrapper")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "header, CMake and pkg-config files and the C# binding of sceneapi_cs_wrapper")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "sceneapi-export, sceneapi-info, sceneapi-convert and the stand-in application photara-sim")
# The packages of this build belong together: the same version of the library.
set(SCENEAPI_RUNTIME_DEPENDS
    "${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${SCENEAPI_RUNTIME_DEPENDS}")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${SCENEAPI_RUNTIME_DEPENDS}")
# The system libraries each package needs: found by dpkg-shlibdeps when dpkg-dev is there,
# else the Debian 12 packages named here.
find_program(SCENEAPI_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SCENEAPI_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
    # The tools' own library is in the runtime package, not yet installed when they are looked at.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
        ${PROJECT_BINARY_DIR}/cs_wrapper)
else()
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libtinyxml2.6.2v5")
    string(APPEND CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS ", libc6, libgcc-s1, libstdc++6, libassimp5")
endif()
include(CPack)
