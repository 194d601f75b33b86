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

# Captions, labels, fitting texts and what a screen reader is told, once per
# language: under Wine the interface language follows the Unix locale the
# program starts in. And at 144 and 192 dpi: the prefix's resolution, which
# a Wine process reads when it starts, is set for the run and put back.
pelorin_wine_test(windows_labels LINK_PROGRAM
    SOURCES "${_windows_dir}/cases/windows_labels_test.cpp")
target_link_libraries(windows_labels PRIVATE oleacc)
pelorin_per_language(windows_labels windows_labels "")
set(_dpi "HKCU\\\\Control Panel\\\\Desktop\" /v LogPixels")
foreach(run "en;en_US.UTF-8;1033" "it;it_IT.UTF-8;1040" "sq;sq_AL.UTF-8;1052" "sl;sl_SI.UTF-8;1060")
  list(GET run 0 suffix)
  list(GET run 1 locale)
  list(GET run 2 langid)
  foreach(dpi 144 192)
    add_test(NAME windows_labels_${suffix}_${dpi} COMMAND bash -c "trap '$0 reg delete \"${_dpi} /f' EXIT
        $0 reg add \"${_dpi} /t REG_DWORD /d ${dpi} /f && $0 \"$1\"" ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:windows_labels>)
    set_tests_properties(windows_labels_${suffix}_${dpi} PROPERTIES
        ENVIRONMENT "LC_ALL=${locale};PELORIN_EXPECT_LANGID=${langid}" TIMEOUT 300 RESOURCE_LOCK wine)
  endforeach()
endforeach()

# Not a test: shows one of the windows for tools/screenshots.sh.
add_executable(windows_screens "${_windows_dir}/tools/windows_screens.cpp" "${_windows_dir}/support/test_app.cpp"
    "${_windows_dir}/configs/test_config.cpp" "${_windows_dir}/support/run_in_process.cpp" "${PELORIN_RESOURCES}")
add_dependencies(windows_screens pelorin_icon)
target_include_directories(windows_screens PRIVATE "${CMAKE_BINARY_DIR}")
target_compile_options(windows_screens PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
target_link_options(windows_screens PRIVATE -municode -static)
target_link_libraries(windows_screens PRIVATE pelorin_lib pelorin_test_support)
