# Settings shared by every target of the suite; linked PUBLIC by the lowest layer (winui).
add_library(hv_defaults INTERFACE)
target_compile_definitions(hv_defaults INTERFACE
  UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00 WINVER=0x0A00)
target_compile_options(hv_defaults INTERFACE -municode -Wall -Wextra -Wno-unused-parameter)
target_link_options(hv_defaults INTERFACE -municode)

# What every test run through Wine gets: its own prefix, no Wine chatter, no installer dialogs,
# and where the sources and the build are.
set(HV_TEST_ENVIRONMENT
    "WINEPREFIX=${HV_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;HV_SOURCE_DIR=${PROJECT_SOURCE_DIR};HV_BINARY_DIR=${CMAKE_BINARY_DIR}")

# hv_layer(NAME [RECURSE] [DEPENDS libs...] [SYSTEM_LIBS libs...])
# A static library of every .cpp in the current folder (with RECURSE: and its topic folders); headers are
# included by their path below src/, as "base/text/StringUtils.h".
function(hv_layer name)
  cmake_parse_arguments(L "RECURSE" "" "DEPENDS;SYSTEM_LIBS" ${ARGN})
  if(L_RECURSE)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    # System libraries are needed at link time only; the layers below are in the headers.
    target_link_libraries(${name} PUBLIC ${L_DEPENDS} PRIVATE ${L_SYSTEM_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${L_DEPENDS} ${L_SYSTEM_LIBS})
  endif()
endfunction()

# hv_test(NAME LABELS labels... SOURCES... LIBS...)
# One googletest executable, run through Wine as one CTest test.
function(hv_test name)
  cmake_parse_arguments(T "" "" "LABELS;SOURCES;LIBS" ${ARGN})
  # Every test program carries a version resource, read back by the version-information tests.
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/TestVersion.rc)
  target_link_libraries(${name} PRIVATE hv_test_support ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    LABELS "${T_LABELS}"
    ENVIRONMENT "${HV_TEST_ENVIRONMENT}")
endfunction()

# hv_program(LIB EXE DEPENDS libs...)
# A program folder: every .cpp except WinMain.cpp makes the static library LIB (so tests can link
# the program's units); WinMain.cpp, with the folder's EXE.rc when there is one, makes the GUI program.
function(hv_program lib exe)
  cmake_parse_arguments(P "" "" "DEPENDS;SYSTEM_LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/WinMain\\.cpp$")
  if(sources)
    add_library(${lib} STATIC ${sources})
    target_include_directories(${lib} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${lib} PUBLIC ${P_DEPENDS} PRIVATE ${P_SYSTEM_LIBS})
  else()
    add_library(${lib} INTERFACE)
    target_include_directories(${lib} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${lib} INTERFACE ${P_DEPENDS} ${P_SYSTEM_LIBS})
  endif()
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/WinMain.cpp)
    set(rc)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${exe}.rc)
      set(rc ${CMAKE_CURRENT_SOURCE_DIR}/${exe}.rc)
    endif()
    add_executable(${exe} WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/WinMain.cpp ${rc})
    target_link_libraries(${exe} PRIVATE ${lib})
  endif()
endfunction()
