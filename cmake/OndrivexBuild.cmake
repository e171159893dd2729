# Build rules shared by every module of the tree.
#
# Sources are picked up by folder: a module's Foo.cpp is portable; the
# operating-system half of class Foo is win32/Foo.cpp (Windows builds only)
# and posix/Foo.cpp (native builds only). Tests live in the module's tests/
# folder as Foo_test.cpp, with tests/win32/ and tests/posix/ for tests of
# one platform.

if(WIN32)
  set(TC_PLATFORM win32)
  # The deliverables are named TCBase.dll, not libTCBase.dll.
  set(CMAKE_SHARED_LIBRARY_PREFIX "")
  set(CMAKE_SHARED_MODULE_PREFIX "")
  add_compile_definitions(UNICODE _UNICODE)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
  # Every binary stands alone: the GCC runtime is linked statically.
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -static")
  string(APPEND CMAKE_SHARED_LINKER_FLAGS " -static -Wl,--export-all-symbols -Wl,--exclude-libs,ALL")
  # Plug-ins (MODULE libraries) stand alone too; they export only what they declare.
  string(APPEND CMAKE_MODULE_LINKER_FLAGS " -static -Wl,--exclude-libs,ALL")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit builds unwind with DWARF tables kept by each module's own copy of
    # the unwinder; see base/unwind/UnwindJoin.cpp for why every module takes
    # part in a common registry of frame tables.
    set(TC_UNWIND_JOIN ON)
    add_link_options(-Wl,--wrap=__register_frame_info -Wl,--wrap=__deregister_frame_info)
  endif()
else()
  set(TC_PLATFORM posix)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
  if(TC_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(TC_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
  endif()
  if(TC_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

if(TC_TESTS)
  enable_testing()
  include(GoogleTest)
  set(TC_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${TC_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# tc_platform_glob(<var> <dir> <pattern>): files matching <pattern> in <dir>
# and in its folder for this platform (<dir>/win32 or <dir>/posix).
function(tc_platform_glob out dir pattern)
  file(GLOB found CONFIGURE_DEPENDS ${dir}/${pattern} ${dir}/${TC_PLATFORM}/${pattern})
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# tc_sources(<var> <dir>): the module's sources for this platform.
function(tc_sources out dir)
  tc_platform_glob(found ${dir} *.cpp)
  list(FILTER found EXCLUDE REGEX "_test\\.cpp$")
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# tc_add_tests(<target> DIR <dir> LIBS <libs...> [HELPERS <targets...>])
# One GoogleTest binary from <dir>/*_test.cpp; each test case becomes a ctest
# test of its own, so every case runs in a fresh process.
function(tc_add_tests target)
  cmake_parse_arguments(T "" "DIR" "LIBS;HELPERS;SOURCES" ${ARGN})
  # Test sources see the module root and the test folder (for shared fixtures).
  if(NOT TC_TESTS)
    return()
  endif()
  tc_platform_glob(found ${T_DIR} *_test.cpp)
  if(NOT found)
    return()
  endif()
  # Other sources in the folder are shared fixtures of the tests.
  tc_platform_glob(support ${T_DIR} *.cpp)
  list(FILTER support EXCLUDE REGEX "_test\\.cpp$")
  add_executable(${target} ${found} ${support} ${T_SOURCES})
  # TCTestSupport (testsupport/) brings the main and the fixtures every
  # test program shares.
  target_link_libraries(${target} PRIVATE ${T_LIBS} TCTestSupport)
  target_include_directories(${target} PRIVATE ${T_DIR})
  if(T_HELPERS)
    add_dependencies(${target} ${T_HELPERS})
  endif()
  # Small programs that tests start as second processes: each
  # <dir>/helpers/name.cpp, and <dir>/helpers/<platform>/name.cpp, becomes
  # the executable "name" beside the tests. Names are snake_case with the
  # module's prefix (base_exec_probe, mon_icon_dump).
  tc_platform_glob(helper_sources ${T_DIR}/helpers *.cpp)
  foreach(src ${helper_sources})
    get_filename_component(helper ${src} NAME_WE)
    add_executable(${helper} ${src})
    target_link_libraries(${helper} PRIVATE ${T_LIBS})
    add_dependencies(${target} ${helper})
  endforeach()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES TIMEOUT 120)
endfunction()

# tc_add_programs(<prefix> [LIBS <libs...>] [FLAGS <flags...>])
# Each <prefix>_name.cpp in the calling folder becomes the program
# <prefix>_name, compiled and linked with FLAGS, linked with LIBS and the
# product's libraries (TCShrd when it is built, TCBase otherwise).
function(tc_add_programs prefix)
  cmake_parse_arguments(P "" "" "LIBS;FLAGS" ${ARGN})
  if(TARGET TCShrd)
    set(product TCShrd)
  else()
    set(product TCBase)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${prefix}_*.cpp)
  foreach(src ${sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE ${P_FLAGS})
    target_link_options(${name} PRIVATE ${P_FLAGS})
    target_link_libraries(${name} PRIVATE ${P_LIBS} ${product})
  endforeach()
endfunction()

# Source paths in exceptions and traces read relative to the tree.
add_compile_options(-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=)
