# Package installation under Wine: the real setup, and setups built from test
# configurations (the records of configs/test_setups.cpp), install sample Tamaris packages
# (tools/build_packages.sh, built with wixl and signed by a test certificate made at build
# time) from beside themselves or from a download server on the loopback
# interface (tools/download_server.py); plus tests that call the
# installation code directly, with seams for what Wine cannot show.
#
# The download address is compiled into a setup, so the test server listens
# on a port fixed at configure time: PELORIN_TEST_PORT, a port that was free
# when the build was configured unless given. The ctest fixture
# "install_server" starts the server on it before the scenarios and stops it
# after them; the server also stops by itself after a quiet spell.

find_package(Python3 COMPONENTS Interpreter REQUIRED)
if(NOT PELORIN_TEST_PORT)
  execute_process(
      COMMAND ${Python3_EXECUTABLE} -c
          "import socket; s = socket.socket(); s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])"
      OUTPUT_VARIABLE _free_port OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(PELORIN_TEST_PORT ${_free_port} CACHE STRING
      "Loopback port of the download server that the installation tests start (compiled into their setups)" FORCE)
endif()
set(_install_url "http://127.0.0.1:${PELORIN_TEST_PORT}/prenos/?verzija=4.12&paket=")

# The real servers (tools/real_servers.sh): nginx's https and http ports,
# squid's open port and its port that asks for a password; free ports too.
if(NOT PELORIN_TEST_REAL_PORTS)
  execute_process(
      COMMAND ${Python3_EXECUTABLE} -c
          "import socket; s = [socket.socket() for _ in range(4)]; [x.bind(('127.0.0.1', 0)) for x in s]; print(';'.join(str(x.getsockname()[1]) for x in s))"
      OUTPUT_VARIABLE _free_ports OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(PELORIN_TEST_REAL_PORTS ${_free_ports} CACHE STRING
      "Loopback ports of nginx (https, http) and squid (open, with a password) that the download tests start" FORCE)
endif()
list(GET PELORIN_TEST_REAL_PORTS 0 _https_port)
list(GET PELORIN_TEST_REAL_PORTS 1 _http_port)
list(GET PELORIN_TEST_REAL_PORTS 2 _proxy_port)
list(GET PELORIN_TEST_REAL_PORTS 3 _password_proxy_port)
set(_url_nginx "https://localhost:${_https_port}/prenos/?verzija=4.12&paket=")
set(_url_nginx_three_tries "${_url_nginx}")
# Port 1, where nothing listens; a name under .invalid, which no resolver knows.
set(_url_unreachable "https://localhost:1/prenos/?verzija=4.12&paket=")
set(_url_unresolvable "https://pelorin.invalid/prenos/?verzija=4.12&paket=")
set(_install_engine_url "http://127.0.0.1:${PELORIN_TEST_PORT}/MSI/2.0/")

# Sample packages.
set(_packages_dir "${CMAKE_CURRENT_BINARY_DIR}/packages")
# Their certificates are made when the build is configured: the pin of a
# signer's key is compiled into the setups that pin one ("pinned": the
# packages' signer; "pinned_other": its authority, a key that signs none;
# "pinned_next": the authority's and then the signer's, in capitals;
# "pinned_self": the setup's own signer, in copies signed with the packages'
# key and with another one, and unsigned).
execute_process(COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/tools/build_packages.sh" --certificates "${_packages_dir}"
    RESULT_VARIABLE _certificates_made)
if(NOT _certificates_made EQUAL 0)
  message(FATAL_ERROR "The test certificates could not be made (openssl)")
endif()
file(STRINGS "${_packages_dir}/certificates/signer.pin" _pin_pinned LIMIT_COUNT 1)
file(STRINGS "${_packages_dir}/certificates/ca.pin" _pin_pinned_other LIMIT_COUNT 1)
string(TOUPPER "${_pin_pinned_other};${_pin_pinned}" _pin_pinned_next)
set(_pin_pinned_self "self")
add_custom_command(OUTPUT "${_packages_dir}/products.txt"
    COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/tools/build_packages.sh" "${_packages_dir}"
    DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tools/build_packages.sh" "${CMAKE_CURRENT_SOURCE_DIR}/tools/tamaris.wxs"
        "${_packages_dir}/certificates/signer.pin"
    COMMENT "Building and signing the sample Tamaris packages")
add_custom_target(pelorin_install_packages ALL DEPENDS "${_packages_dir}/products.txt")

# Setups with the test server's address compiled in.
set(_install_setups_dir "${CMAKE_CURRENT_BINARY_DIR}/install-setups")
set(_tries_three_tries 3)  # the setups named "...three_tries": each download tried three times; the others once
set(_tries_nginx_three_tries 3)
set(_tries_no_data_limit_three_tries 3)
set(_install_setups)
foreach(variant tamaris one_language ask_first patch_only no_download_url bad_operation lang_zero installupd
        long_version no_data_limit pinned pinned_other pinned_next pinned_self three_tries nginx nginx_three_tries
        unreachable unresolvable no_data_limit_three_tries size_limit)
  set(_pin "")
  set(_url "${_install_url}")
  if(DEFINED _url_${variant})
    set(_url "${_url_${variant}}")
  endif()
  if(variant MATCHES "^(tamaris|pinned.*|three_tries|nginx.*|unre.*)$")
    set(_config "${CMAKE_SOURCE_DIR}/app/config_tamaris.cpp")
    if(DEFINED _pin_${variant})
      set(_pin "${_pin_${variant}}")
    endif()
  else()
    set(_config "${CMAKE_CURRENT_SOURCE_DIR}/configs/test_setups.cpp")
  endif()
  pelorin_add_setup(pelorin_install_${variant}
      CONFIG_SOURCE "${_config}"
      DOWNLOAD_URL "${_url}"
      ENGINE_URL "${_install_engine_url}"
      OUTPUT_NAME "install_${variant}"
      TRUSTED_SIGNER "${_pin}"
      DOWNLOAD_TRIES "${_tries_${variant}}")
  set_target_properties(pelorin_install_${variant} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${_install_setups_dir}")
  target_compile_definitions(pelorin_install_${variant} PRIVATE PELORIN_TEST_SETUP=install_${variant})
  list(APPEND _install_setups pelorin_install_${variant})
endforeach()

set(_certificates "${_packages_dir}/certificates")
foreach(c signer other)
  set(_signed "${_install_setups_dir}/install_pinned_self_${c}.exe")
  add_custom_command(OUTPUT "${_signed}" COMMAND ${CMAKE_COMMAND} -E rm -f "${_signed}"
      COMMAND osslsigncode sign -certs "${_certificates}/${c}.crt" -ac "${_certificates}/ca.crt" -key
              "${_certificates}/${c}.key" -h sha256 -in "$<TARGET_FILE:pelorin_install_pinned_self>" -out "${_signed}"
      DEPENDS pelorin_install_pinned_self)
  add_custom_target(pelorin_install_pinned_self_${c} ALL DEPENDS "${_signed}")
  list(APPEND _install_setups pelorin_install_pinned_self_${c})
endforeach()

# The download server, as a fixture of the scenarios.
set(_server "${CMAKE_CURRENT_SOURCE_DIR}/tools/download_server.py")
set(_server_pid "${CMAKE_CURRENT_BINARY_DIR}/download_server.pid")
add_test(NAME install_server_start
    COMMAND ${Python3_EXECUTABLE} "${_server}" --root "${_packages_dir}" --port ${PELORIN_TEST_PORT}
            --daemon --pid-file "${_server_pid}" --log-file "${CMAKE_CURRENT_BINARY_DIR}/download_server.log"
            --lifetime 5400 --idle 3000)
set_tests_properties(install_server_start PROPERTIES FIXTURES_SETUP install_server TIMEOUT 30)
add_test(NAME install_server_stop COMMAND ${Python3_EXECUTABLE} "${_server}" --stop --pid-file "${_server_pid}")
set_tests_properties(install_server_stop PROPERTIES FIXTURES_CLEANUP install_server TIMEOUT 30)

# nginx and squid, as a fixture of the server scenarios, which run in a
# private mount namespace whose certificate store trusts the authority that
# the fixture made (the host's store is not touched).
set(_real_servers "${CMAKE_CURRENT_SOURCE_DIR}/tools/real_servers.sh")
set(_real_dir "${CMAKE_CURRENT_BINARY_DIR}/real-servers")
add_test(NAME real_servers_start COMMAND bash "${_real_servers}" start "${_real_dir}" "${_packages_dir}"
    ${_https_port} ${_http_port} ${_proxy_port} ${_password_proxy_port})
set_tests_properties(real_servers_start PROPERTIES FIXTURES_SETUP real_servers TIMEOUT 60)
add_test(NAME real_servers_stop COMMAND bash "${_real_servers}" stop "${_real_dir}")
set_tests_properties(real_servers_stop PROPERTIES FIXTURES_CLEANUP real_servers TIMEOUT 30)
string(REPLACE "/" "\\\\" _real_dir_win "Z:${_real_dir}")

file(RELATIVE_PATH _packages_relative "${CMAKE_BINARY_DIR}" "${_packages_dir}")
set(_install_definitions
    "PELORIN_TEST_PORT=${PELORIN_TEST_PORT}"
    "PELORIN_TEST_REAL_PORTS=${_https_port},${_http_port},${_proxy_port},${_password_proxy_port}"
    "PELORIN_TEST_REAL_DIR=L\"${_real_dir_win}\""
    "PELORIN_TEST_DOWNLOAD_URL=L\"${_install_url}\"")

# What the scenarios share: runs of a setup, the server's control, the products.
add_library(install_scenario_support STATIC "${CMAKE_CURRENT_SOURCE_DIR}/support/install_common.cpp")
target_compile_definitions(install_scenario_support PUBLIC ${_install_definitions})
target_compile_options(install_scenario_support PRIVATE -municode)
target_link_libraries(install_scenario_support PUBLIC pelorin_test_support msi wininet ws2_32 comctl32)

# Scenarios: the real setup under Wine, grouped by behaviour.
foreach(group download local hostile paths cancel language config server)
  pelorin_wine_test(install_${group}_test
      SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/install_${group}_test.cpp"
      DEPENDS ${_install_setups} pelorin_install_packages install_cancel_hook
      TIMEOUT 1200)
  target_link_libraries(install_${group}_test PRIVATE install_scenario_support)
  set_tests_properties(install_${group}_test PROPERTIES FIXTURES_REQUIRED install_server
      ENVIRONMENT "LC_ALL=en_US.UTF-8")
endforeach()
set_tests_properties(install_server_test PROPERTIES FIXTURES_REQUIRED "install_server;real_servers")
set_target_properties(install_server_test PROPERTIES CROSSCOMPILING_EMULATOR
    "bash;${_real_servers};trust;${_real_dir}/tls/ca.crt;${CMAKE_CROSSCOMPILING_EMULATOR}")

# The setup in a folder deeper than MAX_PATH, started with `wine` and its
# Unix path (Wine's CreateProcessW refuses so long a program path).
add_test(NAME install_long_folder
    COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/cases/long_folder.sh" "$<TARGET_FILE:pelorin_install_one_language>"
            "${_packages_dir}" En ${PELORIN_TEST_PORT} "${CMAKE_CURRENT_BINARY_DIR}/long-folder")
set_tests_properties(install_long_folder PROPERTIES FIXTURES_REQUIRED install_server TIMEOUT 600 RESOURCE_LOCK wine
    ENVIRONMENT "LC_ALL=en_US.UTF-8")

# The installation code called directly: processors and platforms that Wine
# is not, and the engine call of every row of the command-line table.
pelorin_wine_test(install_unit_test SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/install_unit_test.cpp"
    LINK_PROGRAM DEPENDS pelorin_install_packages)
target_compile_definitions(install_unit_test PRIVATE ${_install_definitions})
target_link_libraries(install_unit_test PRIVATE msi)
set_tests_properties(install_unit_test PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8")

# Not a test: the Windows half of scripts/main-job.sh, which builds it alone.
add_executable(install_demo_driver "${CMAKE_CURRENT_SOURCE_DIR}/tools/install_demo_driver.cpp")
target_link_libraries(install_demo_driver PRIVATE pelorin_test_support msi)
target_compile_options(install_demo_driver PRIVATE -municode)
target_link_options(install_demo_driver PRIVATE -municode -static)
# The removal of earlier runs' folders, against links that Wine cannot make:
# the script makes them on the Linux side and runs the unit test's rows.
add_test(NAME install_run_folder_links
    COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/tools/run_folder_links.sh" "$<TARGET_FILE:install_unit_test>"
            "${CMAKE_CURRENT_BINARY_DIR}/run-folder-links")
set_tests_properties(install_run_folder_links PROPERTIES TIMEOUT 300 RESOURCE_LOCK wine)
