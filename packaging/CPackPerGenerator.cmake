# Read by cpack once per generator. The Debian package installs into /usr; the tarball keeps the
# install's own tree (bin, lib, share) under one folder, to be unpacked anywhere.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
else()
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
endif()
