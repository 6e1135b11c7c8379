# Install rules for C and C++ hosts: the shared library, its header, a CMake package with the
# imported target sceneapi_cs_wrapper::sceneapi_cs_wrapper, and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(SCENEAPI_PACKAGE_NAME sceneapi_cs_wrapper)
set(SCENEAPI_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${SCENEAPI_PACKAGE_NAME})

install(TARGETS sceneapi_cs_wrapper EXPORT sceneapi_cs_wrapperTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/sceneapi_cs_wrapper.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT sceneapi_cs_wrapperTargets
    NAMESPACE ${SCENEAPI_PACKAGE_NAME}::
    DESTINATION ${SCENEAPI_PACKAGE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/sceneapi_cs_wrapperConfig.cmake.in
    ${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapperConfig.cmake
    INSTALL_DESTINATION ${SCENEAPI_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapperConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapperConfig.cmake
    ${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapperConfigVersion.cmake
    DESTINATION ${SCENEAPI_PACKAGE_DIR})

# The prefix is written at install time so that "cmake --install --prefix DIR" is honoured.
set(SCENEAPI_PREFIX "@SCENEAPI_PREFIX@")
configure_file(${CMAKE_CURRENT_LIST_DIR}/sceneapi_cs_wrapper.pc.in
    ${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapper.pc.in-prefixed @ONLY)
install(CODE "
    file(READ \"${PROJECT_BINARY_DIR}/package/sceneapi_cs_wrapper.pc.in-prefixed\" pc_text)
    string(REPLACE \"@SCENEAPI_PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" pc_text \"\${pc_text}\")
    file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/sceneapi_cs_wrapper.pc\" \"\${pc_text}\")
    message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/sceneapi_cs_wrapper.pc\")
")

# Windows hosts load the library by the name they declare: sceneapi_cs_wrapper.dll.
if(WIN32)
    set_target_properties(sceneapi_cs_wrapper PROPERTIES PREFIX "")
endif()
