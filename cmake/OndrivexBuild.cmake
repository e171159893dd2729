# Build rules shared by every module of the tree.
#
# Sources are picked up by folder: a module's Foo.cpp is portable; the
# operating-system half of class Foo is win32/Foo.cpp (Windows builds only)
# and posix/Foo.cpp (native builds only). Tests live in the module's tests/
# folder as Foo_test.cpp, with tests/win32/ and tests/posix/ for tests of
# one platform.

# Where things land: the deliverables (the DLLs, and later the programs and
# plug-ins that ship) in dist/, which holds nothing else; test programs, their
# helpers, test plug-ins and tools in bin/; static and import libraries in lib/.
set(TC_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(TC_BIN_DIR ${CMAKE_BINARY_DIR}/bin)

if(WIN32)
  set(TC_PLATFORM win32)
  # The deliverables are named TCBase.dll, not libTCBase.dll.
  set(CMAKE_SHARED_LIBRARY_PREFIX "")
  set(CMAKE_SHARED_MODULE_PREFIX "")
  add_compile_definitions(UNICODE _UNICODE)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit builds unwind with DWARF tables kept by each module's own copy of
    # the unwinder; see base/unwind/UnwindJoin.cpp for why every module takes
    # part in a common registry of frame tables.
    set(TC_UNWIND_JOIN ON)
  endif()
  find_program(TC_WIDL NAMES ${TC_TRIPLE}-widl widl)
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

# tc_standalone(<target>): every Windows binary stands alone. The GCC runtime
# is linked statically, and the 32-bit build wraps the unwinder's frame-table
# registration so that the module joins the common registry (TCBase brings the
# wrappers, base/unwind/UnwindGlue.cpp, to every module that links it). The
# functions below apply this to everything they declare; it is the one place
# these flags are set.
function(tc_standalone target)
  if(NOT WIN32)
    return()
  endif()
  target_link_options(${target} PRIVATE -static)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    # A DLL exports what it declares, never what it linked in from the runtime.
    target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL)
  endif()
  if(TC_UNWIND_JOIN)
    target_link_options(${target} PRIVATE -Wl,--wrap=__register_frame_info -Wl,--wrap=__deregister_frame_info)
  endif()
endfunction()

# _tc_ships(<target> <output property>): the target is a deliverable; it is
# built into dist/ and listed for the test that dist/ holds nothing else.
function(_tc_ships target property)
  set_target_properties(${target} PROPERTIES ${property} ${TC_DIST_DIR})
  set_property(GLOBAL APPEND PROPERTY TC_DELIVERABLES ${target})
endfunction()

# tc_ship_file(<file>): a data file the installation folder holds beside the
# programs; it goes to dist/ on Windows, and to bin/ for the tools and tests.
function(tc_ship_file file)
  get_filename_component(name ${file} NAME)
  configure_file(${file} ${CMAKE_BINARY_DIR}/bin/${name} COPYONLY)
  if(WIN32)
    configure_file(${file} ${TC_DIST_DIR}/${name} COPYONLY)
    set_property(GLOBAL APPEND PROPERTY TC_SHIPPED_FILES ${name})
  endif()
endfunction()

# Once the whole tree is read: a test that dist/ holds exactly the declared
# deliverables (Windows builds; natively nothing ships).
function(_tc_dist_test)
  get_property(targets GLOBAL PROPERTY TC_DELIVERABLES)
  get_property(names GLOBAL PROPERTY TC_SHIPPED_FILES)
  foreach(target ${targets})
    list(APPEND names $<TARGET_FILE_NAME:${target}>)
  endforeach()
  string(REPLACE ";" "," names "${names}")
  add_test(NAME DistFolder.HoldsTheDeliverablesAndNothingElse
    COMMAND ${CMAKE_COMMAND} -DDIST=${TC_DIST_DIR} -DEXPECTED=${names}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckDist.cmake)
  set_tests_properties(DistFolder.HoldsTheDeliverablesAndNothingElse PROPERTIES LABELS static)
  # Each binary of dist/ stands alone: built for this machine, importing our
  # own DLLs and Windows' libraries only. Windows' libraries are those Wine
  # installs for the machine.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(machine x86-64)
    set(system_folder x86_64-windows)
  else()
    set(machine i386)
    set(system_folder i386-windows)
  endif()
  set(own)
  set(binaries)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      list(APPEND own $<TARGET_FILE_NAME:${target}>)
    endif()
    list(APPEND binaries $<TARGET_FILE:${target}>)
  endforeach()
  string(REPLACE ";" "," own "${own}")
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  find_path(TC_WINE_SYSTEM_FOLDER NAMES kernel32.dll
    PATHS /usr/lib/x86_64-linux-gnu/wine /usr/lib/i386-linux-gnu/wine /usr/lib/wine /usr/lib64/wine
    PATH_SUFFIXES ${system_folder} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT TC_WINE_SYSTEM_FOLDER)
    message(FATAL_ERROR "Wine's ${system_folder} libraries were not found; scripts/setup.sh installs them")
  endif()
  add_test(NAME StandAlone.DeliverablesImportOnlyWindowsLibraries
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/check_imports.py
            --objdump ${CMAKE_OBJDUMP} --machine ${machine} --system ${TC_WINE_SYSTEM_FOLDER}
            --own ${own} ${binaries})
  set_tests_properties(StandAlone.DeliverablesImportOnlyWindowsLibraries PROPERTIES LABELS static)
endfunction()
if(WIN32 AND TC_TESTS)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _tc_dist_test)
endif()

# _tc_folder_sources(<var> <dirs...>): the sources of each folder for this
# platform; relative folders are taken from the calling CMakeLists.txt.
function(_tc_folder_sources out)
  set(all)
  foreach(dir ${ARGN})
    if(NOT IS_ABSOLUTE ${dir})
      set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
    endif()
    tc_sources(found ${dir})
    list(APPEND all ${found})
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# tc_library(<name> [STATIC] [API <macro>] [DIRS <folders...>] [SOURCES <files...>]
#            [LIBS <libs...>] [WIN32_LIBS <libs...>] [POSIX_LIBS <libs...>])
# A library of the product: a DLL in dist/ on Windows, a static library
# natively (and with STATIC, everywhere). Its sources are those of DIRS for
# this platform plus SOURCES; LIBS, and the libraries of this platform, are
# passed on to whatever links it. The DLL exports what its export macro API
# marks (see base/TCBaseApi.h); CMake defines <name>_EXPORTS while building
# it, and a test checks the DLL's export table against the marks in the
# headers of the calling folder.
function(tc_library name)
  cmake_parse_arguments(L "STATIC" "API" "DIRS;SOURCES;LIBS;WIN32_LIBS;POSIX_LIBS" ${ARGN})
  _tc_folder_sources(sources ${L_DIRS})
  list(APPEND sources ${L_SOURCES})
  if(WIN32 AND NOT L_STATIC)
    add_library(${name} SHARED ${sources})
    _tc_ships(${name} RUNTIME_OUTPUT_DIRECTORY)
    tc_standalone(${name})
    # Test programs and tools load the DLL from their own folder; a copy
    # there keeps dist/ to the deliverables.
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${name}> ${TC_BIN_DIR}/
      BYPRODUCTS ${TC_BIN_DIR}/${name}.dll
      VERBATIM)
    if(L_API AND TC_TESTS)
      find_package(Python3 REQUIRED COMPONENTS Interpreter)
      find_program(TC_CXXFILT NAMES c++filt REQUIRED)
      add_test(NAME ExportTable.${name}ExportsOnlyWhatItsHeadersMark
        COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/check_exports.py
                --objdump ${CMAKE_OBJDUMP} --cxxfilt ${TC_CXXFILT} --dll $<TARGET_FILE:${name}>
                --macro ${L_API} ${CMAKE_CURRENT_SOURCE_DIR})
      set_tests_properties(ExportTable.${name}ExportsOnlyWhatItsHeadersMark PROPERTIES LABELS static)
    endif()
  else()
    add_library(${name} STATIC ${sources})
  endif()
  if(WIN32)
    set(platform_libs ${L_WIN32_LIBS})
  else()
    set(platform_libs ${L_POSIX_LIBS})
  endif()
  target_link_libraries(${name} PUBLIC ${L_LIBS} ${platform_libs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# tc_plugin(<name> [SHIPS] SOURCES <files...> [DEF <file.def> | EXPORT_MACRO <macro>]
#           [RC <file.rc>] [IDL <file.idl>] [LIBS <libs...>])
# A module that a host program loads by path: <name>.dll, in dist/ when it
# SHIPS and in bin/ beside the tests otherwise. It exports either what its
# DEF file lists or what its sources mark with EXPORT_MACRO (defined here as
# the export attribute), undecorated, as hosts look the entry points up by
# name. RC is compiled into its resources; IDL is compiled by widl into a type
# library bound into its resources as TYPELIB 1, where LoadTypeLib finds it.
# DEF, RC and IDL are Windows matters and are ignored natively.
function(tc_plugin name)
  cmake_parse_arguments(P "SHIPS" "DEF;RC;IDL;EXPORT_MACRO" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${P_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".dll")
  if(P_SHIPS)
    _tc_ships(${name} LIBRARY_OUTPUT_DIRECTORY)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  if(P_EXPORT_MACRO)
    if(WIN32)
      target_compile_definitions(${name} PRIVATE "${P_EXPORT_MACRO}=__declspec(dllexport)")
    else()
      target_compile_definitions(${name} PRIVATE "${P_EXPORT_MACRO}=__attribute__((visibility(\"default\")))")
    endif()
  endif()
  if(NOT WIN32)
    return()
  endif()
  tc_standalone(${name})
  target_link_options(${name} PRIVATE -Wl,--kill-at)
  if(P_DEF)
    # The DEF file names the entry points undecorated; the linker matches
    # them to the 32-bit build's stdcall names (Name@4) without a warning.
    target_sources(${name} PRIVATE ${P_DEF})
    target_link_options(${name} PRIVATE -Wl,--enable-stdcall-fixup)
  endif()
  if(P_RC)
    target_sources(${name} PRIVATE ${P_RC})
  endif()
  if(P_IDL)
    if(NOT TC_WIDL)
      message(FATAL_ERROR "${name}: widl (mingw-w64-tools) is needed for ${P_IDL}")
    endif()
    get_filename_component(idl ${P_IDL} ABSOLUTE)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(arch --win32)
    else()
      set(arch --win64)
    endif()
    set(tlb ${CMAKE_CURRENT_BINARY_DIR}/${name}.tlb)
    set(tlb_rc ${CMAKE_CURRENT_BINARY_DIR}/${name}_typelib.rc)
    add_custom_command(OUTPUT ${tlb}
      COMMAND ${TC_WIDL} ${arch} -t -o ${tlb} ${idl}
      DEPENDS ${idl}
      COMMENT "Compiling the type library of ${name}"
      VERBATIM)
    file(CONFIGURE OUTPUT ${tlb_rc} CONTENT "1 TYPELIB \"${tlb}\"\n")
    set_source_files_properties(${tlb_rc} PROPERTIES OBJECT_DEPENDS ${tlb})
    target_sources(${name} PRIVATE ${tlb} ${tlb_rc})
  endif()
endfunction()

# tc_program(<name> [GUI] [WMAIN] [SHIPS] SOURCES <files...> [LIBS <libs...>])
# A program: in dist/ when it SHIPS, in bin/ otherwise. GUI makes a Windows
# program without a console; WMAIN takes the UTF-16 entry point (wmain or
# wWinMain), so that arguments arrive whatever the console's code page.
function(tc_program name)
  cmake_parse_arguments(P "GUI;WMAIN;SHIPS" "" "SOURCES;LIBS" ${ARGN})
  if(P_GUI)
    add_executable(${name} WIN32 ${P_SOURCES})
  else()
    add_executable(${name} ${P_SOURCES})
  endif()
  if(P_SHIPS)
    _tc_ships(${name} RUNTIME_OUTPUT_DIRECTORY)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  if(WIN32 AND P_WMAIN)
    target_link_options(${name} PRIVATE -municode)
  endif()
  tc_standalone(${name})
endfunction()

# tc_add_tests(<target> DIR <dir> LIBS <libs...> [HELPERS <targets...>] [SOURCES <files...>])
# One GoogleTest program in bin/ from <dir>/*_test.cpp; each test case becomes
# a ctest test of its own, so every case runs in a fresh process.
function(tc_add_tests target)
  cmake_parse_arguments(T "" "DIR" "LIBS;HELPERS;SOURCES" ${ARGN})
  if(NOT TC_TESTS)
    return()
  endif()
  if(NOT IS_ABSOLUTE ${T_DIR})
    set(T_DIR ${CMAKE_CURRENT_SOURCE_DIR}/${T_DIR})
  endif()
  tc_platform_glob(found ${T_DIR} *_test.cpp)
  if(NOT found)
    return()
  endif()
  # Other sources in the folder are shared fixtures of the tests.
  tc_platform_glob(support ${T_DIR} *.cpp)
  list(FILTER support EXCLUDE REGEX "_test\\.cpp$")
  # TCTestSupport (testsupport/) brings the main and the fixtures every
  # test program shares.
  tc_program(${target} SOURCES ${found} ${support} ${T_SOURCES} LIBS ${T_LIBS} TCTestSupport)
  # Test sources see the module root and the test folder (for shared fixtures).
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
    tc_program(${helper} SOURCES ${src} LIBS ${T_LIBS})
    add_dependencies(${target} ${helper})
  endforeach()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${TC_BIN_DIR}
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
    tc_program(${name} SOURCES ${src} LIBS ${P_LIBS} ${product})
    target_compile_options(${name} PRIVATE ${P_FLAGS})
    target_link_options(${name} PRIVATE ${P_FLAGS})
  endforeach()
endfunction()

# Source paths in exceptions and traces read relative to the tree.
add_compile_options(-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=)
