# Signature checks under Wine: "/v" end to end with the real setup, whose
# whole exit code is the verdict, and the trust dialog that
# VerifyFileSignature allows for files of the setup's own signer and of
# others. The signed files are made at build time from the built setup, with
# a test authority and two code-signing certificates (standins/material/).

set(PELORIN_SIGNATURES_DIR "${CMAKE_CURRENT_BINARY_DIR}/signatures")
set(_signature_files signed-a.exe signed-b.exe other-a.exe tampered-a.exe unsigned.exe)
list(TRANSFORM _signature_files PREPEND "${PELORIN_SIGNATURES_DIR}/" OUTPUT_VARIABLE _signature_outputs)
add_custom_command(OUTPUT ${_signature_outputs}
    COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/standins/material/make_signatures.sh"
            "$<TARGET_FILE:Pelorin>" "${PELORIN_SIGNATURES_DIR}"
    DEPENDS Pelorin "${CMAKE_CURRENT_SOURCE_DIR}/standins/material/make_signatures.sh"
    COMMENT "Signing test copies of the setup")
add_custom_target(trust_signatures DEPENDS ${_signature_outputs})

file(RELATIVE_PATH _signatures_relative "${CMAKE_BINARY_DIR}" "${PELORIN_SIGNATURES_DIR}")
string(REPLACE "/" "\\\\" _signatures_relative "${_signatures_relative}")

pelorin_wine_test(trust_verify_command SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/trust_verify_command.cpp"
    DEPENDS Pelorin trust_signatures)
target_compile_definitions(trust_verify_command PRIVATE "PELORIN_TEST_SIGNATURES=L\"${_signatures_relative}\"")
set_tests_properties(trust_verify_command PROPERTIES ENVIRONMENT "GTEST_FILTER=-WithoutSignatureLibrary.*")

# The same program on systems that lack wintrust.dll or crypt32.dll: Wine is
# told not to load it, in this program and so in the setups it starts.
foreach(library wintrust crypt32)
  pelorin_wine_variant(trust_verify_command_without_${library} trust_verify_command
      "GTEST_FILTER=WithoutSignatureLibrary.*;PELORIN_TEST_MISSING_LIBRARY=${library}.dll;WINEDLLOVERRIDES=mscoree,mshtml,${library}=")
endforeach()

pelorin_wine_test(trust_dialog_choice SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/cases/trust_dialog_choice.cpp"
    LINK_PROGRAM DEPENDS trust_signatures)
target_compile_definitions(trust_dialog_choice PRIVATE "PELORIN_TEST_SIGNATURES=L\"${_signatures_relative}\"")
set_tests_properties(trust_dialog_choice PROPERTIES ENVIRONMENT "GTEST_FILTER=-TrustLibraries.*")
# Whether the libraries are released shows only in a process that has not
# loaded them before.
pelorin_wine_variant(trust_dialog_choice_libraries trust_dialog_choice "GTEST_FILTER=TrustLibraries.*")
