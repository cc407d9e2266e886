# The maker's key for signed releases, checked when the project is configured, so that a
# wrong key fails here rather than in every signature check of the finished program.
#
# tallyaid_read_update_key(<var>): sets <var> to the PEM text of TALLYAID_UPDATE_KEY, or to
# "" when no key is given (a warning; an error with TALLYAID_REQUIRE_UPDATE_KEY).

# An Ed25519 SubjectPublicKeyInfo is 44 bytes: a fixed 12-byte header (base64 "MCowBQYDK2VwAyEA")
# and the 32-byte key. In PEM that is one base64 line of 60 characters.
set(_tallyaid_ed25519_spki_prefix "MCowBQYDK2VwAyEA")

function(tallyaid_read_update_key out_pem)
  if(NOT TALLYAID_UPDATE_KEY)
    set(${out_pem} "" PARENT_SCOPE)
    if(TALLYAID_REQUIRE_UPDATE_KEY)
      message(FATAL_ERROR "TALLYAID_REQUIRE_UPDATE_KEY is ON, but TALLYAID_UPDATE_KEY names no key. "
              "A release build must carry the maker's Ed25519 public key (-DTALLYAID_UPDATE_KEY=maker.pub).")
    endif()
    message(WARNING "No TALLYAID_UPDATE_KEY: this build checks no signatures and starts whatever the "
            "download folder serves. Release builds set -DTALLYAID_UPDATE_KEY=maker.pub and "
            "-DTALLYAID_REQUIRE_UPDATE_KEY=ON.")
    return()
  endif()
  if(NOT EXISTS "${TALLYAID_UPDATE_KEY}" OR IS_DIRECTORY "${TALLYAID_UPDATE_KEY}")
    message(FATAL_ERROR "TALLYAID_UPDATE_KEY: no such file: ${TALLYAID_UPDATE_KEY}")
  endif()
  file(READ "${TALLYAID_UPDATE_KEY}" pem)
  if(pem MATCHES "PRIVATE KEY")
    message(FATAL_ERROR "TALLYAID_UPDATE_KEY (${TALLYAID_UPDATE_KEY}) is a private key. Build with its "
            "public half only: openssl pkey -in maker.pem -pubout -out maker.pub")
  endif()
  string(REPLACE "\r" "" text "${pem}")
  string(STRIP "${text}" text)
  set(body "")
  if(text MATCHES "^-----BEGIN PUBLIC KEY-----\n([A-Za-z0-9+/=]+)\n-----END PUBLIC KEY-----$")
    set(body "${CMAKE_MATCH_1}")
  endif()
  string(LENGTH "${body}" body_length)
  string(FIND "${body}" "${_tallyaid_ed25519_spki_prefix}" prefix_at)
  if(NOT body_length EQUAL 60 OR NOT prefix_at EQUAL 0 OR NOT body MATCHES "^[A-Za-z0-9+/]+=$")
    message(FATAL_ERROR "TALLYAID_UPDATE_KEY (${TALLYAID_UPDATE_KEY}) is not an Ed25519 public key in PEM "
            "(as openssl pkey -pubout writes it). Signatures are checked with Ed25519 only.")
  endif()
  set(${out_pem} "${pem}" PARENT_SCOPE)
endfunction()
