# Read by cpack before it builds the package: it stamps the package with the
# commit's time (CPack's DEB generator takes its times from SOURCE_DATE_EPOCH)
# and refuses to build without dpkg-shlibdeps, which writes the Depends line.
include("${CMAKE_CURRENT_LIST_DIR}/source-date-epoch.cmake")
cmake_policy(SET CMP0109 NEW)  # a program found must be one that can run
find_program(dpkg_shlibdeps dpkg-shlibdeps)
if(NOT dpkg_shlibdeps)
  message(FATAL_ERROR "dpkg-shlibdeps is missing (apt-get install dpkg-dev): without it the package "
                      "would say nothing of the C library it needs")
endif()
