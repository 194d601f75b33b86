# The Installer engine binding under Wine: which msi.dll the setup binds for
# each kind of registered "InstallerLocation" value (real values in the test
# prefix's registry), what an engine lacking an entry does, and reading file
# versions. The engines and version resources are built in libraries.cmake.

file(RELATIVE_PATH _engine_material_relative "${CMAKE_BINARY_DIR}" "${PELORIN_ENGINE_MATERIAL_DIR}")
string(REPLACE "/" "\\\\" _engine_material_relative "${_engine_material_relative}")

pelorin_wine_test(engine_binding SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/engine_binding.cpp"
    LINK_PROGRAM DEPENDS ${_engine_material})
target_compile_definitions(engine_binding PRIVATE "PELORIN_TEST_ENGINE_MATERIAL=L\"${_engine_material_relative}\"")
target_link_libraries(engine_binding PRIVATE ntdll)
# Wine hands out its built-in msi.dll for any file of that name unless told
# to load the file itself ("native first"); the system's msi.dll, a Wine
# placeholder, still gives the built-in one.
set_tests_properties(engine_binding PROPERTIES
    ENVIRONMENT "LC_ALL=en_US.UTF-8;GTEST_FILTER=-WithoutSystemEngine.*;WINEDLLOVERRIDES=mscoree,mshtml=\\;msi=n,b")

# The same program on a system without any msi.dll: Wine is told to load none.
pelorin_wine_variant(engine_binding_without_system_engine engine_binding
    "LC_ALL=en_US.UTF-8;GTEST_FILTER=WithoutSystemEngine.*;WINEDLLOVERRIDES=mscoree,mshtml,msi=")

pelorin_wine_test(engine_file_version SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/engine_file_version.cpp"
    LINK_PROGRAM DEPENDS ${_engine_material})
target_compile_definitions(engine_file_version PRIVATE "PELORIN_TEST_ENGINE_MATERIAL=L\"${_engine_material_relative}\"")
target_link_libraries(engine_file_version PRIVATE version)
