# Writes the release folder (run by the release target, see release.cmake):
#   cmake -DEXECUTABLE=... -DDIST=... -DWORK=... [-DPFX=... -DPASSWORD_ENV=...
#         -DCAFILE=... -DTIMESTAMP_URL=...] -P make_dist.cmake
# The executable is prepared in WORK; DIST receives it only once it is
# complete (signed and verified when a key is given), so a failed signing
# leaves no executable in DIST that could be shipped by mistake.
# SHA256SUMS holds the hash of the executable in DIST and, when it is signed,
# that of the executable as built (Pelorin.unsigned.exe).
cmake_minimum_required(VERSION 3.21)

foreach(required EXECUTABLE DIST WORK)
  if(NOT ${required})
    message(FATAL_ERROR "make_dist.cmake: ${required} is not given")
  endif()
endforeach()

file(REMOVE "${DIST}/Pelorin.exe" "${DIST}/SHA256SUMS" "${DIST}/Pelorin.unsigned.exe")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(staged "${WORK}/Pelorin.exe")

if(PFX)
  if(NOT EXISTS "${PFX}")
    message(FATAL_ERROR "The signing key ${PFX} does not exist.")
  endif()
  if(NOT PASSWORD_ENV OR NOT DEFINED ENV{${PASSWORD_ENV}})
    message(FATAL_ERROR "The password of ${PFX} is expected in the environment variable "
                        "'${PASSWORD_ENV}', which is not set.")
  endif()
  find_program(OSSLSIGNCODE osslsigncode)
  if(NOT OSSLSIGNCODE)
    message(FATAL_ERROR "osslsigncode is needed to sign the release (apt-get install osslsigncode).")
  endif()
  # Handed over in a file that only the owner can read, not on a command line
  # that any process can see.
  set(password_file "${WORK}/password")
  file(WRITE "${password_file}" "")
  file(CHMOD "${password_file}" PERMISSIONS OWNER_READ OWNER_WRITE)
  file(APPEND "${password_file}" "$ENV{${PASSWORD_ENV}}")
  set(timestamp)
  if(TIMESTAMP_URL)
    set(timestamp -ts "${TIMESTAMP_URL}")
  endif()
  execute_process(
      COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PFX}" -readpass "${password_file}" -h sha256 -n Pelorin
              ${timestamp} -in "${EXECUTABLE}" -out "${staged}"
      RESULT_VARIABLE signed OUTPUT_VARIABLE sign_output ERROR_VARIABLE sign_output)
  file(REMOVE "${password_file}")
  if(NOT signed EQUAL 0)
    message(FATAL_ERROR "Signing with ${PFX} failed; nothing was written to ${DIST}.\n${sign_output}")
  endif()
  set(trust)
  if(CAFILE)
    set(trust -CAfile "${CAFILE}")
  endif()
  execute_process(COMMAND "${OSSLSIGNCODE}" verify ${trust} -in "${staged}"
      RESULT_VARIABLE verified OUTPUT_VARIABLE verify_output ERROR_VARIABLE verify_output)
  if(NOT verified EQUAL 0)
    message(FATAL_ERROR "The signed executable does not verify; nothing was written to ${DIST}.\n${verify_output}")
  endif()
  # Anyone who builds the same sources gets the same bytes, and taking the
  # signature off this file must give them back: that is how a signed release
  # is checked against one's own build. Promised only once it holds.
  file(SHA256 "${EXECUTABLE}" unsigned_hash)
  set(stripped "${WORK}/Pelorin.unsigned.exe")
  execute_process(COMMAND "${OSSLSIGNCODE}" remove-signature -in "${staged}" -out "${stripped}"
      RESULT_VARIABLE removed OUTPUT_VARIABLE remove_output ERROR_VARIABLE remove_output)
  if(EXISTS "${stripped}")
    file(SHA256 "${stripped}" stripped_hash)
  endif()
  if(NOT removed EQUAL 0 OR NOT "${stripped_hash}" STREQUAL "${unsigned_hash}")
    message(FATAL_ERROR "Without its signature the signed executable is not the one that was built; "
                        "nothing was written to ${DIST}.\n${remove_output}")
  endif()
  file(REMOVE "${stripped}")
  set(unsigned_line "${unsigned_hash}  Pelorin.unsigned.exe\n")
  set(state "signed with ${PFX}, signature verified")
else()
  file(COPY_FILE "${EXECUTABLE}" "${staged}")
  set(state "UNSIGNED")
  message(WARNING "Pelorin.exe in ${DIST} is UNSIGNED: no signing key was given (PELORIN_SIGN_PFX). "
                  "Windows warns users who run an unsigned setup; sign it before shipping.")
endif()

file(SHA256 "${staged}" hash)
file(MAKE_DIRECTORY "${DIST}")
file(COPY_FILE "${staged}" "${DIST}/Pelorin.exe")
# A signed release also names the hash of the executable as built, under the
# name that "osslsigncode remove-signature" is told to write (see README).
file(WRITE "${DIST}/SHA256SUMS" "${hash}  Pelorin.exe\n${unsigned_line}")
message(STATUS "Release in ${DIST}: Pelorin.exe ${state}.")
message(STATUS "SHA-256 ${hash}")
