# Message reporting (ui/messages.h) called directly, in English: message
# boxes are read and answered from the test thread while the call waits on a
# second thread. A planted msimsg.dll (the DLL of suites/probes.cmake, whose
# texts say "Planted") must not be the message library that is read.
pelorin_wine_test(reporting_test SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/reporting_test.cpp" LINK_PROGRAM
    DEPENDS pelorin_planted_version)
string(REPLACE "/" "\\\\" _reporting_plant "tests/wine/plant/version.dll")
target_compile_definitions(reporting_test PRIVATE "PELORIN_TEST_PLANT=L\"${_reporting_plant}\"")
set_tests_properties(reporting_test PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8")
