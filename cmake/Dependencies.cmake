# Outside libraries: installed by scripts/setup.sh, built or referenced here, never copied into the tree.

# googletest from Debian's source package, built with the cross compiler.
set(HV_GTEST_SOURCE /usr/src/googletest CACHE PATH "googletest sources")
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${HV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)

# zlib: the static MinGW build of libz-mingw-w64-dev.
find_library(HV_ZLIB NAMES libz.a z REQUIRED)
find_path(HV_ZLIB_INCLUDE zlib.h REQUIRED)
add_library(hv_zlib INTERFACE)
target_link_libraries(hv_zlib INTERFACE ${HV_ZLIB})
target_include_directories(hv_zlib SYSTEM INTERFACE ${HV_ZLIB_INCLUDE})

# Boost (header-only parts such as Boost.Regex): only the boost/ folder of the host headers is staged
# into a build-local include folder, so /usr/include itself never reaches the cross compiler.
set(HV_BOOST_HOST_DIR /usr/include/boost CACHE PATH "Boost headers of libboost1.81-dev")
set(HV_STAGED_INCLUDE ${CMAKE_BINARY_DIR}/_deps/staged-include)
if(NOT EXISTS ${HV_BOOST_HOST_DIR}/version.hpp)
  message(FATAL_ERROR "Boost headers not found in ${HV_BOOST_HOST_DIR}; run scripts/setup.sh")
endif()
file(MAKE_DIRECTORY ${HV_STAGED_INCLUDE})
file(CREATE_LINK ${HV_BOOST_HOST_DIR} ${HV_STAGED_INCLUDE}/boost SYMBOLIC)
add_library(hv_boost INTERFACE)
target_include_directories(hv_boost SYSTEM INTERFACE ${HV_STAGED_INCLUDE})
