# Builds setup executables. The program's code is compiled once into a static
# library; each setup links it with the source of its own product records
# (CONFIG_SOURCE), so a vendor or a test can build a setup for another product
# or configuration without touching the rest of the program. Test programs
# link the same library.

set(PELORIN_WINDOWS_SOURCES
    afx/afxwin.cpp
    afx/runtime.cpp
    afx/seams.cpp
    afx/system_library.cpp
    app/app.cpp
    app/worker.cpp
    app/probes.cpp
    engine/binding.cpp
    engine/child_process.cpp
    engine/upgrade.cpp
    install/action.cpp
    install/download.cpp
    install/fetch_steps.cpp
    install/held_file.cpp
    install/http_request.cpp
    install/http_transfer.cpp
    install/package.cpp
    install/processor.cpp
    install/product.cpp
    install/run_folder.cpp
    install/signature.cpp
    ui/accessibility.cpp
    ui/messages.cpp
    ui/progress_dlg.cpp
    ui/language_dlg.cpp
)

set(PELORIN_SIZE_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-unwind-tables -ffunction-sections -fdata-sections -fno-threadsafe-statics)
# Reproducible: the objects name no folder of the build (a __FILE__ in an
# assertion, say), and the link writes no time stamp (see the link below), so
# anyone who builds the same sources gets the same bytes, wherever and whenever.
list(APPEND PELORIN_SIZE_FLAGS "-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=" "-ffile-prefix-map=${CMAKE_BINARY_DIR}/=")
set(PELORIN_DEFINITIONS UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)

list(TRANSFORM PELORIN_PORTABLE_SOURCES PREPEND "${CMAKE_SOURCE_DIR}/" OUTPUT_VARIABLE _portable)
list(TRANSFORM PELORIN_WINDOWS_SOURCES PREPEND "${CMAKE_SOURCE_DIR}/" OUTPUT_VARIABLE _windows)
add_library(pelorin_lib STATIC ${_portable} ${_windows})
target_include_directories(pelorin_lib PUBLIC "${CMAKE_SOURCE_DIR}")
target_compile_definitions(pelorin_lib PUBLIC ${PELORIN_DEFINITIONS})
# A record's fields are named, and those left out are zero on purpose.
set(PELORIN_WARNINGS -Wall -Wextra -Wno-missing-field-initializers)
target_compile_options(pelorin_lib PRIVATE ${PELORIN_SIZE_FLAGS} ${PELORIN_WARNINGS})
# Only libraries that Windows always takes from its system folder are imported
# statically; every other one is loaded at run time from the system folder.
target_link_libraries(pelorin_lib PUBLIC user32 gdi32 advapi32 shell32 ole32 oleaut32 uuid)

# The icon is drawn by a script at build time, so no binary picture is kept in git.
set(PELORIN_ICON "${CMAKE_BINARY_DIR}/pelorin.ico")
add_custom_command(OUTPUT "${PELORIN_ICON}"
    COMMAND python3 "${CMAKE_SOURCE_DIR}/tools/make_icon.py" "${PELORIN_ICON}"
    DEPENDS "${CMAKE_SOURCE_DIR}/tools/make_icon.py"
    COMMENT "Drawing the application icon")
add_custom_target(pelorin_icon DEPENDS "${PELORIN_ICON}")
set(PELORIN_RESOURCES "${CMAKE_SOURCE_DIR}/ui/res/pelorin.rc")
# The resource compiler's includes are not tracked: the icon, the manifest
# and the catalogues are named here so that a change rebuilds the resources.
file(GLOB _resource_inputs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/ui/res/*.rc" "${CMAKE_SOURCE_DIR}/ui/res/*.manifest")
set_source_files_properties("${PELORIN_RESOURCES}" PROPERTIES OBJECT_DEPENDS "${PELORIN_ICON};${_resource_inputs}")

include("${CMAKE_CURRENT_LIST_DIR}/trusted_signer.cmake")

# pelorin_add_setup(<target> CONFIG_SOURCE <file> DOWNLOAD_URL <url> ENGINE_URL <url> [OUTPUT_NAME <name>]
#                   [TRUSTED_SIGNER <pin>] [DOWNLOAD_TRIES <n>])
#   TRUSTED_SIGNER pins the signers of packages and redistributables (see
#   pelorin_check_trusted_signer); empty for none.
#   DOWNLOAD_TRIES is how many times a download is tried in all, 1 to 10;
#   1 (the default) tries once, as a setup always did.
function(pelorin_add_setup target)
  # PARSE_ARGV keeps the ";" of a pin list within its one value.
  cmake_parse_arguments(PARSE_ARGV 1 S "" "CONFIG_SOURCE;DOWNLOAD_URL;ENGINE_URL;OUTPUT_NAME;TRUSTED_SIGNER;DOWNLOAD_TRIES" "")
  if("${S_DOWNLOAD_TRIES}" STREQUAL "")
    set(S_DOWNLOAD_TRIES 1)
  endif()
  # A whole number from 1 to 10: more tries only keep a user waiting on a
  # server that is down, and 0 would never download at all.
  if(NOT "${S_DOWNLOAD_TRIES}" MATCHES "^([1-9]|10)$")
    message(FATAL_ERROR "The download tries of ${target} (PELORIN_DOWNLOAD_TRIES) must be a whole number from 1 to 10, not '${S_DOWNLOAD_TRIES}'")
  endif()
  pelorin_check_trusted_signer("${S_TRUSTED_SIGNER}" _wrong)
  if(_wrong)
    message(FATAL_ERROR "The trusted signer of ${target}, '${S_TRUSTED_SIGNER}', has ${_wrong}. "
        "Give SHA-256 hashes of public keys (64 hex digits) or \"self\", separated by \";\", or nothing.")
  endif()
  # The options as one source of their own (app/build_options.h): a ";" of a
  # pin list could not pass through a compile definition.
  set(_options_source "${CMAKE_CURRENT_BINARY_DIR}/${target}_build_options.cpp")
  configure_file("${CMAKE_SOURCE_DIR}/cmake/build_options.cpp.in" "${_options_source}" @ONLY)
  add_executable(${target} WIN32 "${CMAKE_SOURCE_DIR}/app/main.cpp"
      "${S_CONFIG_SOURCE}" "${_options_source}" "${PELORIN_RESOURCES}")
  add_dependencies(${target} pelorin_icon)
  if(S_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME "${S_OUTPUT_NAME}")
  endif()
  target_include_directories(${target} PRIVATE "${CMAKE_SOURCE_DIR}" "${CMAKE_BINARY_DIR}")
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${PELORIN_SIZE_FLAGS} ${PELORIN_WARNINGS} -municode>)
  # --no-insert-timestamp: the header's link time (and the checksum over it)
  # would be the only bytes in which two builds of one commit differ.
  target_link_options(${target} PRIVATE -municode -static -s -Wl,--gc-sections
      -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware -Wl,--no-insert-timestamp)
  target_link_libraries(${target} PRIVATE pelorin_lib)
endfunction()
