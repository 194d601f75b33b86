# The setup's two windows under Wine, on the virtual display: the progress
# window (status lines, bar, Cancel, cursor, icons), its download status
# callback with real downloads from a loopback HTTP server, and the language
# dialog; captions and labels in each of the four languages. The test
# programs link the setup's code and drive the windows through their
# controls from this process.

set(_windows_dir "${CMAKE_CURRENT_SOURCE_DIR}")
set(_windows_harness "${_windows_dir}/windows_harness.cpp")

pelorin_wine_test(windows_progress LINK_PROGRAM
    SOURCES "${_windows_dir}/windows_progress_test.cpp" "${_windows_harness}")
set_tests_properties(windows_progress PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8")

pelorin_wine_test(windows_download LINK_PROGRAM
    SOURCES "${_windows_dir}/windows_download_test.cpp" "${_windows_dir}/windows_http_server.cpp"
            "${_windows_harness}")
target_link_libraries(windows_download PRIVATE ws2_32)
set_tests_properties(windows_download PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8")

pelorin_wine_test(windows_language LINK_PROGRAM
    SOURCES "${_windows_dir}/windows_language_test.cpp" "${_windows_harness}")
set_tests_properties(windows_language PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8")

# Captions, labels, fitting texts and what a screen reader is told, once per
# language: under Wine the interface language follows the Unix locale the
# program starts in. And at 144 and 192 dpi: the prefix's resolution, which
# a Wine process reads when it starts, is set for the run and put back.
pelorin_wine_test(windows_labels LINK_PROGRAM
    SOURCES "${_windows_dir}/windows_labels_test.cpp" "${_windows_harness}")
target_link_libraries(windows_labels PRIVATE oleacc)
set_tests_properties(windows_labels PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8;PELORIN_EXPECT_LANGID=1033")
set(_dpi "HKCU\\\\Control Panel\\\\Desktop\" /v LogPixels")
foreach(run "en;en_US.UTF-8;1033" "it;it_IT.UTF-8;1040" "sq;sq_AL.UTF-8;1052" "sl;sl_SI.UTF-8;1060")
  list(GET run 0 suffix)
  foreach(dpi 96 144 192)
    set(_name windows_labels_${suffix}_${dpi})
    string(REPLACE "_96" "" _name "${_name}")
    if(NOT _name STREQUAL "windows_labels_en")
      add_test(NAME ${_name} COMMAND bash -c "trap '$0 reg delete \"${_dpi} /f' EXIT
          $0 reg add \"${_dpi} /t REG_DWORD /d ${dpi} /f && $0 \"$1\"" ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:windows_labels>)
      list(GET run 1 locale)
      list(GET run 2 langid)
      set_tests_properties(${_name} PROPERTIES ENVIRONMENT "LC_ALL=${locale};PELORIN_EXPECT_LANGID=${langid}"
          TIMEOUT 300 RESOURCE_LOCK wine)
    endif()
  endforeach()
endforeach()

# Not a test: shows one of the windows for tools/screenshots.sh.
add_executable(windows_screens "${_windows_dir}/windows_screens.cpp" "${_windows_dir}/support/test_app.cpp"
    "${_windows_dir}/support/test_config.cpp" "${PELORIN_RESOURCES}")
add_dependencies(windows_screens pelorin_icon)
target_include_directories(windows_screens PRIVATE "${CMAKE_BINARY_DIR}")
target_compile_definitions(windows_screens PRIVATE
    "PELORIN_DOWNLOAD_URL=L\"http://127.0.0.1:1/prenos/?paket=\""
    "PELORIN_ENGINE_URL=L\"http://127.0.0.1:1/MSI/2.0/\"")
target_compile_options(windows_screens PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
target_link_options(windows_screens PRIVATE -municode -static)
target_link_libraries(windows_screens PRIVATE pelorin_lib)
