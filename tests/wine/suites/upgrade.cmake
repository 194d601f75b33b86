# The Windows Installer engine upgrade under Wine: the child process runner
# with real child processes, and the whole upgrade path (engine gate, local
# or downloaded redistributable, signature check by a second instance of the
# real setup, version gate, exit codes, restart) run by the setup's own
# worker against a loopback HTTP server.
#
# The engine redistributable is played by standins/fake_engine/: one small program,
# built once per file version that the tests need, whose exit code and
# record of its command line the tests choose at run time.

set(PELORIN_FAKE_ENGINE_DIR "${CMAKE_BINARY_DIR}/tests/wine/fake_engine")
set(_fake_engines)
# suffix;major;minor (no major: a program without any version resource)
foreach(variant "2_0;2;0" "10_5;10;5" "11_99;11;99" "12_0;12;0" "1_20;1;20" "none;;")
  list(GET variant 0 suffix)
  list(GET variant 1 major)
  list(GET variant 2 minor)
  add_executable(fake_engine_${suffix} WIN32 "${CMAKE_CURRENT_SOURCE_DIR}/standins/fake_engine/fake_engine.cpp")
  if(NOT major STREQUAL "")
    target_sources(fake_engine_${suffix} PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}/standins/fake_engine/fake_engine.rc")
    target_compile_definitions(fake_engine_${suffix} PRIVATE FAKE_MAJOR=${major} FAKE_MINOR=${minor})
  endif()
  target_compile_definitions(fake_engine_${suffix} PRIVATE UNICODE _UNICODE)
  target_compile_options(fake_engine_${suffix} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode -Os -Wall -Wextra>)
  target_link_options(fake_engine_${suffix} PRIVATE -municode -static -s)
  set_target_properties(fake_engine_${suffix} PROPERTIES
      RUNTIME_OUTPUT_DIRECTORY "${PELORIN_FAKE_ENGINE_DIR}" OUTPUT_NAME "engine-${suffix}")
  list(APPEND _fake_engines fake_engine_${suffix})
endforeach()

# The setup and an engine of version 2.0 signed with one self-made
# certificate, and a copy of that engine altered after signing.
# Every engine is also signed into signed/, as a vendor ships it beside the setup.
set(_signed "${PELORIN_FAKE_ENGINE_DIR}/setup-signed.exe" "${PELORIN_FAKE_ENGINE_DIR}/engine-signed.exe"
    "${PELORIN_FAKE_ENGINE_DIR}/engine-tampered.exe")
set(_fake_engine_files)
foreach(engine IN LISTS _fake_engines)
  list(APPEND _fake_engine_files "$<TARGET_FILE:${engine}>")
endforeach()
add_custom_command(OUTPUT ${_signed}
    COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/standins/fake_engine/sign.sh" "${PELORIN_FAKE_ENGINE_DIR}"
        "$<TARGET_FILE:Pelorin>" "$<TARGET_FILE:fake_engine_2_0>" ${_fake_engine_files}
    DEPENDS Pelorin ${_fake_engines} "${CMAKE_CURRENT_SOURCE_DIR}/standins/fake_engine/sign.sh"
    COMMENT "Signing the engine upgrade test material")
add_custom_target(upgrade_signed_material DEPENDS ${_signed})

string(REPLACE "/" "\\\\" _fake_engine_dir_win "Z:${PELORIN_FAKE_ENGINE_DIR}")

pelorin_wine_test(child_runner_test LINK_PROGRAM
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/child_runner_test.cpp"
    DEPENDS ${_fake_engines})
target_compile_definitions(child_runner_test PRIVATE "PELORIN_FAKE_ENGINE_DIR=L\"${_fake_engine_dir_win}\"")

pelorin_wine_test(upgrade_test LINK_PROGRAM
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/upgrade_test.cpp"
        "${CMAKE_CURRENT_SOURCE_DIR}/support/windows_http_server.cpp"
    CONFIG_SOURCE "${CMAKE_CURRENT_SOURCE_DIR}/configs/upgrade_config.cpp"
    DEPENDS Pelorin ${_fake_engines} upgrade_signed_material)
target_compile_definitions(upgrade_test PRIVATE "PELORIN_FAKE_ENGINE_DIR=L\"${_fake_engine_dir_win}\"")
target_link_libraries(upgrade_test PRIVATE ws2_32)
# The texts that the tests expect are read from the catalogue in the
# language of the run: any of the four would do.
set_tests_properties(upgrade_test PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8")
