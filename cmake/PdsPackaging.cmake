# Installation and packages, laid out for a host integrator:
#   <prefix>/plugins/PluginDeviceSearch.dll        (Windows)
#   <prefix>/lib/plugins/libPluginDeviceSearch.so  (elsewhere)
#   <prefix>/include/HostFramework/*.h             the host interface the plug-in implements
# `cpack` makes a .zip on Windows (named after the compiler: the host must be built with
# the same one and the same Qt) and a .tar.gz elsewhere.
include(GNUInstallDirs)

if(WIN32)
    set(_pds_plugin_dir plugins)
else()
    set(_pds_plugin_dir ${CMAKE_INSTALL_LIBDIR}/plugins)
endif()
set(PDS_INSTALL_PLUGINDIR ${_pds_plugin_dir} CACHE STRING "Where the plug-in file is installed, relative to the prefix")

install(TARGETS PluginDeviceSearch
    LIBRARY DESTINATION ${PDS_INSTALL_PLUGINDIR} COMPONENT plugin
    RUNTIME DESTINATION ${PDS_INSTALL_PLUGINDIR} COMPONENT plugin)
install(DIRECTORY HostFramework/include/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/HostFramework COMPONENT headers
    FILES_MATCHING PATTERN "*.h")

if(WIN32)
    if(MINGW)
        set(_pds_compiler mingw)
    elseif(MSVC)
        set(_pds_compiler msvc)
    else()
        set(_pds_compiler ${CMAKE_CXX_COMPILER_ID})
    endif()
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME
        "PluginDeviceSearch-${PROJECT_VERSION}-windows-x86_64-${_pds_compiler}-qt${Qt6_VERSION}")
else()
    set(CPACK_GENERATOR TGZ)
    set(CPACK_PACKAGE_FILE_NAME
        "PluginDeviceSearch-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}-qt${Qt6_VERSION}")
endif()
set(CPACK_PACKAGE_NAME PluginDeviceSearch)
set(CPACK_PACKAGE_VENDOR "PluginDeviceSearch team")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Device search plug-in for the client's QML screens")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
