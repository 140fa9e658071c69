# What a cross build for Windows takes from the Debian host: the RapidJSON
# headers and the GoogleTest sources, built with the cross compiler. Nothing
# is downloaded.

# /usr/include as a whole would hand the host's C headers to the cross
# compiler, so only the rapidjson folder is linked into a folder of its own.
find_path(EXIFCHECK_HOST_RAPIDJSON rapidjson/writer.h PATHS /usr/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT EXIFCHECK_HOST_RAPIDJSON)
  message(FATAL_ERROR "RapidJSON headers not found in /usr/include (Debian: apt-get install rapidjson-dev)")
endif()
set(EXIFCHECK_RAPIDJSON_LINK ${CMAKE_BINARY_DIR}/host-include)
file(MAKE_DIRECTORY ${EXIFCHECK_RAPIDJSON_LINK})
file(CREATE_LINK ${EXIFCHECK_HOST_RAPIDJSON}/rapidjson ${EXIFCHECK_RAPIDJSON_LINK}/rapidjson SYMBOLIC)
set(EXIFCHECK_RAPIDJSON_INCLUDE ${EXIFCHECK_RAPIDJSON_LINK} CACHE PATH "RapidJSON include folder" FORCE)

# Debian's libgtest-dev holds only host libraries, but it ships the sources.
if(EXIFCHECK_TESTS)
  set(EXIFCHECK_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
  if(NOT EXISTS ${EXIFCHECK_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${EXIFCHECK_GTEST_SOURCE} (Debian: apt-get install libgtest-dev)")
  endif()
  # The sources' own top folder sets the version; this build enters one below it.
  file(STRINGS ${EXIFCHECK_GTEST_SOURCE}/../CMakeLists.txt EXIFCHECK_GTEST_VERSION_LINE
       REGEX "set\\(GOOGLETEST_VERSION")
  string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" GOOGLETEST_VERSION "${EXIFCHECK_GTEST_VERSION_LINE}")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  add_subdirectory(${EXIFCHECK_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
