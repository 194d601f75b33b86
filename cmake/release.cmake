# The release: `cmake --build --preset mingw-x86 --target release` writes
# dist/ in the source tree with Pelorin.exe and its SHA-256 in SHA256SUMS.
#
# Given a code-signing key, the executable in dist/ is signed with it and the
# signature checked with "osslsigncode verify" before anything is written:
#   PELORIN_SIGN_PFX           the .pfx (certificate, private key, issuers)
#   PELORIN_SIGN_PASSWORD_ENV  the environment variable that holds its
#                              password when the target is built; the password
#                              itself never enters the cache or a command line
#   PELORIN_SIGN_CAFILE        issuers to trust when verifying (a private
#                              authority); default: the system's list
#   PELORIN_SIGN_TIMESTAMP_URL a time-stamping service (RFC 3161), so that the
#                              signature outlives the certificate
# Without a key the build says plainly that the result is unsigned.

set(PELORIN_DIST_DIR "${CMAKE_SOURCE_DIR}/dist" CACHE PATH "Folder the release target writes")
set(PELORIN_SIGN_PFX "" CACHE FILEPATH "Code-signing certificate and key (.pfx) for the release; empty: unsigned")
set(PELORIN_SIGN_PASSWORD_ENV "PELORIN_SIGN_PASSWORD" CACHE STRING
    "Environment variable that holds the password of PELORIN_SIGN_PFX")
set(PELORIN_SIGN_CAFILE "" CACHE FILEPATH "Certificates to trust when the signed release is verified")
set(PELORIN_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping URL for the release signature")

add_custom_target(release
    COMMAND ${CMAKE_COMMAND}
            "-DEXECUTABLE=$<TARGET_FILE:Pelorin>"
            "-DDIST=${PELORIN_DIST_DIR}"
            "-DWORK=${CMAKE_BINARY_DIR}/release"
            "-DPFX=${PELORIN_SIGN_PFX}"
            "-DPASSWORD_ENV=${PELORIN_SIGN_PASSWORD_ENV}"
            "-DCAFILE=${PELORIN_SIGN_CAFILE}"
            "-DTIMESTAMP_URL=${PELORIN_SIGN_TIMESTAMP_URL}"
            -P "${CMAKE_SOURCE_DIR}/cmake/make_dist.cmake"
    DEPENDS Pelorin
    VERBATIM
    USES_TERMINAL)
