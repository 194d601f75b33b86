# The message catalogue of the built setup, every text in each of the four
# languages, as Windows loads it against the rows of tests/catalogue.inc.
add_executable(resource_strings "${CMAKE_CURRENT_SOURCE_DIR}/cases/resource_strings.cpp")
target_compile_definitions(resource_strings PRIVATE UNICODE _UNICODE)
target_include_directories(resource_strings PRIVATE "${CMAKE_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
target_compile_options(resource_strings PRIVATE -municode)
target_link_options(resource_strings PRIVATE -municode -static)
foreach(locale IN ITEMS en_US it_IT sq_AL sl_SI)
  add_test(NAME resource_strings_${locale} COMMAND resource_strings "Z:$<TARGET_FILE:Pelorin>")
  set_tests_properties(resource_strings_${locale} PROPERTIES TIMEOUT 60 RESOURCE_LOCK wine
      ENVIRONMENT "LC_ALL=${locale}.UTF-8")
endforeach()
