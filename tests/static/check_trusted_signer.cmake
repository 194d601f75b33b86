# The pins a setup may be configured with, and the complaint about bad ones.
include("${SOURCE_DIR}/cmake/trusted_signer.cmake")
string(REPEAT "0123456789abcdef" 4 a)
string(REPEAT "FEDCBA9876543210" 4 b)
# Each row: the pin ("," for ";") "=" nothing when it is good, else a part of the complaint.
foreach(row "=" "${a}=" "self=" "${a},${b}=" "self,${b}=" "${a},=an empty entry" ",${a}=an empty entry"
        "${a},,${b}=an empty entry" "${a}0='${a}0' \\(65 characters\\)" "${a},SELF='SELF' " "g${b}=neither 64 hex")
  string(REGEX REPLACE "=.*" "" value "${row}")
  string(REGEX REPLACE "^[^=]*=" "" expected "${row}")
  string(REPLACE "," ";" value "${value}")
  pelorin_check_trusted_signer("${value}" said)
  if(NOT (said STREQUAL "" AND expected STREQUAL "") AND (said STREQUAL "" OR NOT said MATCHES "${expected}"))
    message(SEND_ERROR "'${value}': expected '${expected}', the check said '${said}'")
  endif()
endforeach()
