# The setup's two windows under Wine, on the virtual display: the progress
# window (status lines, bar, Cancel, cursor, icons), its download status
# callback with real downloads from a loopback HTTP server, and the language
# dialog; captions and labels in each of the four languages. The test
# programs link the setup's code and drive the windows through their
# controls from this process.

set(_windows_dir "${CMAKE_CURRENT_SOURCE_DIR}")

pelorin_wine_test(windows_progress LINK_PROGRAM
    SOURCES "${_windows_dir}/cases/windows_progress_test.cpp")
set_tests_properties(windows_progress PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8")

pelorin_wine_test(windows_download LINK_PROGRAM
    SOURCES "${_windows_dir}/cases/windows_download_test.cpp" "${_windows_dir}/support/windows_http_server.cpp")
target_link_libraries(windows_download PRIVATE ws2_32)
set_tests_properties(windows_download PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8")

pelorin_wine_test(windows_language LINK_PROGRAM
    SOURCES "${_windows_dir}/cases/windows_language_test.cpp")
set_tests_properties(windows_language PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8")

# Captions, labels and fitting texts, once per language: under Wine the
# interface language follows the Unix locale the program starts in.
pelorin_wine_test(windows_labels LINK_PROGRAM
    SOURCES "${_windows_dir}/cases/windows_labels_test.cpp")
pelorin_per_language(windows_labels windows_labels "")

# Not a test: shows one of the windows for tools/screenshots.sh.
add_executable(windows_screens "${_windows_dir}/tools/windows_screens.cpp" "${_windows_dir}/support/test_app.cpp"
    "${_windows_dir}/configs/test_config.cpp" "${_windows_dir}/support/run_in_process.cpp" "${PELORIN_RESOURCES}")
add_dependencies(windows_screens pelorin_icon)
target_include_directories(windows_screens PRIVATE "${CMAKE_BINARY_DIR}")
target_compile_options(windows_screens PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
target_link_options(windows_screens PRIVATE -municode -static)
target_link_libraries(windows_screens PRIVATE pelorin_lib pelorin_test_support)
