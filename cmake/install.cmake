# Installation in the GNU places: the tool, libselvana and its header, the
# object-model library both link, the voice module (LIBDIR/selvana), the
# voices that were built (DATADIR/selvana/voices), pkg-config and CMake
# package files, and the manual page.
include(CMakePackageConfigHelpers)

set_target_properties(voice_pt_br_selvana PROPERTIES INSTALL_RPATH "$ORIGIN/..")
set_target_properties(selvana_core PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS selvana RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS selvana_lib EXPORT selvanaTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS selvana_core LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS voice_pt_br_selvana LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/selvana)
install(DIRECTORY ${CMAKE_BINARY_DIR}/bin/voices/ DESTINATION ${CMAKE_INSTALL_DATADIR}/selvana/voices OPTIONAL)
install(FILES ${CMAKE_SOURCE_DIR}/include/selvana/selvana.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/selvana)
install(FILES ${CMAKE_SOURCE_DIR}/docs/selvana.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# pkg-config: the prefix is found from the .pc file's own place, so that a
# tree installed under any prefix (or moved) still builds.
file(RELATIVE_PATH SELVANA_PC_TO_PREFIX "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/$" "" SELVANA_PC_TO_PREFIX "${SELVANA_PC_TO_PREFIX}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/selvana.pc.in ${CMAKE_BINARY_DIR}/selvana.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/selvana.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/selvana)
install(EXPORT selvanaTargets NAMESPACE selvana:: DESTINATION ${config_dir})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/selvanaConfig.cmake.in
  ${CMAKE_BINARY_DIR}/selvanaConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/selvanaConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/selvanaConfig.cmake ${CMAKE_BINARY_DIR}/selvanaConfigVersion.cmake
  DESTINATION ${config_dir})
