# Debian packages, built with CPack from the install rules' components:
#
#   liborvexsystem1       runtime: the library, and the log module it loads
#   liborvexsystem1-dev   dev: headers, the CMake package, the pkg-config file
#   orvexsystem1-sim      sim: the simulated driver, outside the library path
#                         so that it never hides a real driver; its control
#                         header and an example scenario
#   orvexsystem1-tools    tools: orvexctl and orvexresponseserver
#
#   cpack --config build/CPackConfig.cmake -B build-packages
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvexsystem1)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Class library for classroom boards, hubs and response handsets")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime dev sim tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "orvexsystem1 developers <orvexsystem1@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# Dependencies on system libraries come from the binaries themselves; those
# between the packages are named below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/sim ${CMAKE_BINARY_DIR}/tools/logmodule)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME liborvexsystem1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME liborvexsystem1-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qt6-base-dev")
set(CPACK_DEBIAN_SIM_PACKAGE_NAME orvexsystem1-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME orvexsystem1-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
# Suggested, not required: the tools work with any driver the loader finds.
set(CPACK_DEBIAN_TOOLS_PACKAGE_SUGGESTS orvexsystem1-sim)

include(CPack)
cpack_add_component(runtime DISPLAY_NAME "orvexsystem1 library"
  DESCRIPTION "The orvexsystem1 class library, through which classroom applications use\ninteractive boards, wireless hubs and response handsets, and its log module.")
cpack_add_component(dev DISPLAY_NAME "orvexsystem1 development files" DEPENDS runtime
  DESCRIPTION "Headers, CMake package (find_package(OrvexSystem CONFIG)) and pkg-config\nfile (orvexsystem1) for building applications on orvexsystem1.")
cpack_add_component(sim DISPLAY_NAME "orvexsystem1 simulated classroom"
  DESCRIPTION "A simulated board driver: a classroom of hubs, boards and handsets for\ndeveloping and testing without hardware. Installed outside the library path;\nput /usr/${CMAKE_INSTALL_LIBDIR}/orvexsystem1/sim on LD_LIBRARY_PATH to use it.")
cpack_add_component(tools DISPLAY_NAME "orvexsystem1 tools" DEPENDS runtime
  DESCRIPTION "orvexctl, a command-line tool to list, inspect and drive classroom hubs\nand handsets, and orvexresponseserver, a response server for development.")
