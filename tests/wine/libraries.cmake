# The libraries that the Windows tests load and look entries up in: stand-in
# engines and version resources, the planted version.dll, the Cancel hook.
#
# On 32-bit Windows the compiler decorates the exported name of a WINAPI or
# CALLBACK function ("CancelOnStatusText@12"), so a lookup by the plain name
# finds nothing there, and a check that an entry is absent passes whether or
# not the library was loaded. Every library here is linked with --kill-at,
# and exported_names reads their export tables: it needs no Wine, so it also
# runs where only the 64-bit build can be run, and these libraries are built
# for both processors on every machine.

set(PELORIN_ENGINE_MATERIAL_DIR "${CMAKE_CURRENT_BINARY_DIR}/material")
set(_exported_name_checks)

# pelorin_test_library(<target> <SHARED|MODULE> EXPORTS <names...> SOURCES <files...>)
#   EXPORTS are the names that the tests look up in it.
function(pelorin_test_library target kind)
  cmake_parse_arguments(L "" "" "EXPORTS;SOURCES" ${ARGN})
  add_library(${target} ${kind} ${L_SOURCES})
  set_target_properties(${target} PROPERTIES PREFIX "" LINKER_LANGUAGE CXX)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
  target_link_options(${target} PRIVATE -static -s -Wl,--kill-at)
  list(JOIN L_EXPORTS "," names)
  set(_exported_name_checks ${_exported_name_checks} "$<TARGET_FILE:${target}>=${names}" PARENT_SCOPE)
endfunction()

# material/<folder>/<file>, a DLL built from the given sources.
function(pelorin_engine_material target folder file)
  pelorin_test_library(${target} SHARED ${ARGN})
  set_target_properties(${target} PROPERTIES
      OUTPUT_NAME "${file}"
      RUNTIME_OUTPUT_DIRECTORY "${PELORIN_ENGINE_MATERIAL_DIR}/${folder}"
      ARCHIVE_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/material-lib/${target}")
  set(_exported_name_checks ${_exported_name_checks} PARENT_SCOPE)
endfunction()

# An engine with all eleven entries, and one without MsiReinstallProductW.
set(_engine_entries MsiSetInternalUI MsiInstallProductW MsiApplyPatchW MsiQueryProductStateW
    MsiOpenDatabaseW MsiDatabaseOpenViewW MsiViewExecute MsiViewFetch MsiRecordGetStringW MsiCloseHandle
    PelorinTestEngine)
pelorin_engine_material(engine_stub_complete engine-complete msi
    EXPORTS ${_engine_entries} MsiReinstallProductW
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/standins/material/engine_stub.cpp")
pelorin_engine_material(engine_stub_partial engine-partial msi
    EXPORTS ${_engine_entries}
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/standins/material/engine_stub.cpp")
target_compile_definitions(engine_stub_partial PRIVATE ENGINE_STUB_WITHOUT_REINSTALL)
# Version resources: one as the resource compiler writes it, two written by
# hand, and a library without any.
pelorin_engine_material(version_7_21 versions version-7-21
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/standins/material/version_7_21.rc")
pelorin_engine_material(version_without_fixed versions version-without-fixed
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/standins/material/version_without_fixed.rc")
pelorin_engine_material(version_short_fixed versions version-short-fixed
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/standins/material/version_short_fixed.rc")
pelorin_engine_material(version_none versions version-none
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/standins/material/no_resources.cpp")
set(_engine_material engine_stub_complete engine_stub_partial
    version_7_21 version_without_fixed version_short_fixed version_none)

# A DLL named like a system library, planted beside the tests.
pelorin_test_library(pelorin_planted_version SHARED
    EXPORTS PelorinPlanted GetFileVersionInfoSizeW
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/standins/probes_plant.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/standins/probes_plant.rc")
set_target_properties(pelorin_planted_version PROPERTIES
    OUTPUT_NAME version RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests/wine/plant")

# The hook library that presses Cancel right as a status text is written, and
# can refuse the setup its progress window.
pelorin_test_library(install_cancel_hook MODULE
    EXPORTS CancelOnStatusText RefuseDialogWindows
    SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/support/install_cancel_hook.cpp")
set_target_properties(install_cancel_hook PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
target_link_libraries(install_cancel_hook PRIVATE user32)

# The control: the planted library's source linked without --kill-at. On
# i386 its export must read decorated, or the check could not see the fault.
add_library(exported_names_control SHARED "${CMAKE_CURRENT_SOURCE_DIR}/standins/probes_plant.cpp")
set_target_properties(exported_names_control PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/control")
target_link_options(exported_names_control PRIVATE -static -s)

find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME exported_names
    COMMAND ${Python3_EXECUTABLE} "${CMAKE_SOURCE_DIR}/tests/static/check_exported_names.py"
            "${CMAKE_OBJDUMP}" ${_exported_name_checks}
            --decorated "$<TARGET_FILE:exported_names_control>=PelorinPlanted")
