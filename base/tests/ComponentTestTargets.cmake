# Libraries loaded by the component registration tests: one with the two
# registration exports, one without. Both land beside the tests, named like
# the add-ins they stand in for.
foreach(variant TestComponent TestComponentBare)
  add_library(${variant} MODULE ${CMAKE_CURRENT_LIST_DIR}/component/TestComponent.cpp)
  set_target_properties(${variant} PROPERTIES PREFIX "" SUFFIX ".dll")
  if(WIN32)
    # Exports without the stdcall decoration, as the registration calls
    # look them up; the GCC runtime linked in, as for every other binary
    # (the project's static flag covers programs and shared libraries, not
    # modules); TCBase brings the 32-bit build's unwinding glue.
    target_link_options(${variant} PRIVATE -static -Wl,--kill-at)
    target_link_libraries(${variant} PRIVATE TCBase)
  endif()
  target_include_directories(${variant} PRIVATE ${PROJECT_SOURCE_DIR})
  list(APPEND TCBASE_TEST_HELPERS ${variant})
endforeach()
target_compile_definitions(TestComponentBare PRIVATE TC_NO_REGISTRATION_EXPORTS)
