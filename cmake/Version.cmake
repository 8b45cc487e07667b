# The suite's version, kept in one place: the file VERSION (major.minor.patch).
# It reaches the programs' version resources (brevant_version.h), the
# installer and the Add/Remove Programs entry (installer/CMakeLists.txt), and
# the browser package (scripts/web-package).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/VERSION)
file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION BREVANT_VERSION LIMIT_COUNT 1)
if(NOT BREVANT_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION must hold major.minor.patch, not '${BREVANT_VERSION}'")
endif()
set(BREVANT_VERSION_MAJOR ${CMAKE_MATCH_1})
set(BREVANT_VERSION_MINOR ${CMAKE_MATCH_2})
set(BREVANT_VERSION_PATCH ${CMAKE_MATCH_3})
configure_file(${CMAKE_SOURCE_DIR}/cmake/brevant_version.h.in ${CMAKE_BINARY_DIR}/generated/brevant_version.h @ONLY)
include_directories(${CMAKE_BINARY_DIR}/generated)
# Resource scripts that include framework/version_info.rc depend on it and on
# the numbers (windres reports no dependencies of its own).
set(BREVANT_VERSION_RC_DEPENDS ${CMAKE_SOURCE_DIR}/framework/version_info.rc
    ${CMAKE_BINARY_DIR}/generated/brevant_version.h)
