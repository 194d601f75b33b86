# The vendor's worked example, Orvella (examples/orvella/), kept alive: its
# packages are built with wixl and signed with a .pfx as a vendor would, its
# setup is built from the example's own records with the test server's
# address and signed with the same certificate, and one scenario runs it
# under Wine against the download server of the installation tests, which
# serves the packages as a static host would (/files/orvella/<name>).
# Needs what install.cmake sets up (packages folder, server fixture, port).

set(_orvella_source "${CMAKE_SOURCE_DIR}/examples/orvella")
set(_orvella_packages "${_packages_dir}/orvella")
set(_orvella_signing "${CMAKE_CURRENT_BINARY_DIR}/orvella-signing")
set(_orvella_setup "${CMAKE_CURRENT_BINARY_DIR}/example/OrvellaSetup.exe")

add_custom_command(OUTPUT "${_orvella_packages}/products.txt"
    COMMAND bash "${_orvella_source}/make_test_pfx.sh" "${_orvella_signing}"
    COMMAND ${CMAKE_COMMAND} -E env PELORIN_SIGN_PASSWORD=orvella-test
            bash "${_orvella_source}/build_packages.sh" "${_orvella_packages}" "${_orvella_signing}/test.pfx"
    DEPENDS "${_orvella_source}/build_packages.sh" "${_orvella_source}/make_test_pfx.sh"
            "${_orvella_source}/orvella.wxs"
    COMMENT "Building and signing the Orvella example's packages")

pelorin_add_setup(pelorin_example_orvella
    CONFIG_SOURCE "${_orvella_source}/config_orvella.cpp"
    DOWNLOAD_URL "http://127.0.0.1:${PELORIN_TEST_PORT}/files/orvella/"
    ENGINE_URL "${_install_engine_url}"
    OUTPUT_NAME "OrvellaSetup-unsigned"
    DOWNLOAD_TRIES 3)
set_target_properties(pelorin_example_orvella PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/example")

# Signed with the packages' certificate, so that their check asks nothing.
add_custom_command(OUTPUT "${_orvella_setup}"
    COMMAND ${CMAKE_COMMAND} -E rm -f "${_orvella_setup}"
    COMMAND osslsigncode sign -pkcs12 "${_orvella_signing}/test.pfx" -pass orvella-test -h sha256 -n Orvella
            -in "$<TARGET_FILE:pelorin_example_orvella>" -out "${_orvella_setup}"
    DEPENDS pelorin_example_orvella "${_orvella_packages}/products.txt"
    COMMENT "Signing the Orvella example's setup")
add_custom_target(example_orvella_setup ALL DEPENDS "${_orvella_setup}")

pelorin_wine_test(example_orvella_test SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/example_orvella_test.cpp"
    DEPENDS example_orvella_setup pelorin_install_packages TIMEOUT 600)
target_link_libraries(example_orvella_test PRIVATE install_scenario_support)
set_tests_properties(example_orvella_test PROPERTIES FIXTURES_REQUIRED install_server ENVIRONMENT "LC_ALL=en_US.UTF-8")
