# Test fixtures: files made by other programs, checked in under tests/fixtures
# (tests/fixtures/README.md says where each comes from). The ITU charts are
# kept packed; they are unpacked into the build tree when CMake runs.
set(TOLMERA_FIXTURES_DIR "${CMAKE_SOURCE_DIR}/tests/fixtures")
set(TOLMERA_BUILT_FIXTURES_DIR "${CMAKE_BINARY_DIR}/fixtures")

set(_itu_archive "${TOLMERA_FIXTURES_DIR}/itu/itu-charts.tar.xz")
set(_itu_stamp "${TOLMERA_BUILT_FIXTURES_DIR}/itu/.unpacked")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_itu_archive}")
if(NOT EXISTS "${_itu_stamp}" OR "${_itu_archive}" IS_NEWER_THAN "${_itu_stamp}")
  file(ARCHIVE_EXTRACT INPUT "${_itu_archive}" DESTINATION "${TOLMERA_BUILT_FIXTURES_DIR}/itu")
  file(TOUCH "${_itu_stamp}")
endif()
