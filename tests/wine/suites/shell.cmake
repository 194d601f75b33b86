# The application shell under Wine: the real setup and setup variants built
# from test configurations (configs/), started as a user or a calling script
# would start them: command-line rows that end start-up, the usage text in
# each language, the single-instance guard, exit codes of worker runs, the
# progress window and the application title as caption.

# Setup variants, each with product records of its own.
set(PELORIN_TEST_SETUPS_DIR "${CMAKE_BINARY_DIR}/tests/wine/setups")
set(_shell_setups)
foreach(variant ask_first empty_table lang_zero no_languages)
  pelorin_add_setup(pelorin_setup_${variant}
      CONFIG_SOURCE "${CMAKE_CURRENT_SOURCE_DIR}/configs/test_setups.cpp"
      DOWNLOAD_URL "http://127.0.0.1:1/prenos/?paket="
      ENGINE_URL "http://127.0.0.1:1/MSI/2.0/"
      OUTPUT_NAME "${variant}")
  set_target_properties(pelorin_setup_${variant} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PELORIN_TEST_SETUPS_DIR}")
  target_compile_definitions(pelorin_setup_${variant} PRIVATE PELORIN_TEST_SETUP=${variant})
  list(APPEND _shell_setups pelorin_setup_${variant})
endforeach()
file(RELATIVE_PATH _setups_relative "${CMAKE_BINARY_DIR}" "${PELORIN_TEST_SETUPS_DIR}")
string(REPLACE "/" "\\\\" _setups_relative "${_setups_relative}")

pelorin_wine_test(shell_test SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/shell_test.cpp"
    DEPENDS Pelorin ${_shell_setups})
target_compile_definitions(shell_test PRIVATE "PELORIN_TEST_SETUPS=L\"${_setups_relative}\"")
set_tests_properties(shell_test PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8;GTEST_FILTER=-Language.*")

# The texts in each of the four languages. Under Wine a child process takes
# its interface language from the Unix locale of its parent, not from the
# environment block it is started with (see support/driver.h), so the
# Language tests run once per language, in that locale, and are told which
# language to expect.
pelorin_per_language(shell_language_test shell_test ";GTEST_FILTER=Language.*")
