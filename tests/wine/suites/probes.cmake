# The system probes (app/probes.h) under Wine, with the platform seams that
# play older systems; and library loading (afx/system_library.h) beside a
# planted DLL named like a system library (built in libraries.cmake; the reporting suite
# plants it as msimsg.dll).
file(RELATIVE_PATH _plant_relative "${CMAKE_BINARY_DIR}" "${CMAKE_BINARY_DIR}/tests/wine/plant/version.dll")
string(REPLACE "/" "\\\\" _plant_relative "${_plant_relative}")

pelorin_wine_test(probes_test SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/probes_test.cpp" LINK_PROGRAM
    DEPENDS pelorin_planted_version)
target_compile_definitions(probes_test PRIVATE "PELORIN_TEST_PLANT=L\"${_plant_relative}\"")
# Wine prefers its own libraries to ones beside a program; the controls need
# the planted ones to be loadable by the plain search.
set_tests_properties(probes_test PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8;WINEDLLOVERRIDES=msi,wintrust,cabinet=n,b")
