# cpack -G DEB (run in the build folder) makes a Debian package of what
# `cmake --install` installs, under /usr. Library dependencies come from
# dpkg-shlibdeps; the Qt platform plugins and the fonts Rovana draws with are
# loaded at run time, so they are named here.
set(CPACK_PACKAGE_NAME rovana)
set(CPACK_PACKAGE_VENDOR "The Rovana developers")
set(CPACK_PACKAGE_CONTACT "Rovana developers <rovana@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GPS navigation and track recording, with the ZenolithCE GPS library")
set(CPACK_PACKAGE_DESCRIPTION
    "Rovana reads a GPS receiver (serial port, gpsd or a recorded NMEA log), keeps trip statistics,\n\
records tracks and shows the position over calibrated maps. ZenolithCE, its component library,\n\
offers an NMEA parser and coordinate conversion between 27 datums and 51 map grids; the zenolith\n\
command-line tool registers it and converts, decodes and scripts with it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gpsd")
set(CPACK_STRIP_FILES ON)
include(CPack)
