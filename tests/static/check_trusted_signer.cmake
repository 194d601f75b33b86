# The pins that configure a setup, and what the check says of malformed ones:
#   cmake -DSOURCE_DIR=<source> -P check_trusted_signer.cmake
include("${SOURCE_DIR}/cmake/trusted_signer.cmake")
string(REPEAT "0123456789abcdef" 4 a)
string(REPEAT "FEDCBA9876543210" 4 b)
# Each row: the pin (with "," for its ";"), "=", and nothing when it is good,
# else a part of the complaint.
foreach(row "=" "${a}=" "self=" "${a},${b}=" "self,${b}=" "${a},=an empty entry" ",${a}=an empty entry"
        "${a},,${b}=an empty entry" "${a}0='${a}0' \\(65 characters\\)" "${a},SELF='SELF' \\(4 characters\\)"
        "g${b}=neither 64 hex digits")
  string(FIND "${row}" "=" cut REVERSE)
  string(SUBSTRING "${row}" 0 ${cut} value)
  math(EXPR cut "${cut} + 1")
  string(SUBSTRING "${row}" ${cut} -1 expected)
  string(REPLACE "," ";" value "${value}")
  pelorin_check_trusted_signer("${value}" said)
  if(NOT (said STREQUAL "" AND expected STREQUAL "") AND (said STREQUAL "" OR NOT said MATCHES "${expected}"))
    message(SEND_ERROR "'${value}': expected '${expected}', the check said '${said}'")
  endif()
endforeach()
