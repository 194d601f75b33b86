# The pin of a setup's signer, checked when the build is configured: empty,
# or entries separated by ";", each the SHA-256 of a signing certificate's
# public key (SubjectPublicKeyInfo) in hex, 64 digits in either case, or
# "self", the key that signs the setup itself. Sets `error` to what is wrong
# with `value`, or to "" when nothing is.
function(pelorin_check_trusted_signer value error)
  string(REPEAT "[0-9a-fA-F]" 64 _hash)
  set(_what "")
  if("${value}" MATCHES "(^;|;;|;$)")
    set(_what "an empty entry (a \";\" at an end or two in a row)")
  else()
    foreach(_entry IN LISTS value)
      if(NOT _entry MATCHES "^(self|${_hash})$")
        string(LENGTH "${_entry}" _length)
        set(_what "the entry '${_entry}' (${_length} characters), which is neither 64 hex digits (a SHA-256) nor \"self\"")
        break()
      endif()
    endforeach()
  endif()
  set(${error} "${_what}" PARENT_SCOPE)
endfunction()
