# Configures a project of nothing but the key check (updatekey/) with one key after another,
# as the maker would configure a release.
#   cmake -DWORK=<scratch folder> -P UpdateKeyChecks.cmake
cmake_minimum_required(VERSION 3.20)
if(NOT WORK)
  message(FATAL_ERROR "WORK not set")
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
find_program(OPENSSL openssl REQUIRED)

function(make_key name)
  execute_process(COMMAND ${OPENSSL} ${ARGN} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "openssl could not make ${name}: ${err}")
  endif()
endfunction()
make_key(ed25519.pem genpkey -algorithm ed25519 -out "${WORK}/ed25519.pem")
make_key(ed25519.pub pkey -in "${WORK}/ed25519.pem" -pubout -out "${WORK}/ed25519.pub")
make_key(rsa.pem genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out "${WORK}/rsa.pem")
make_key(rsa.pub pkey -in "${WORK}/rsa.pem" -pubout -out "${WORK}/rsa.pub")
make_key(rsa-traditional.pem pkey -in "${WORK}/rsa.pem" -traditional -out "${WORK}/rsa-traditional.pem")
make_key(ed448.pem genpkey -algorithm ed448 -out "${WORK}/ed448.pem")
make_key(ed448.pub pkey -in "${WORK}/ed448.pem" -pubout -out "${WORK}/ed448.pub")
make_key(x25519.pem genpkey -algorithm x25519 -out "${WORK}/x25519.pem")
make_key(x25519.pub pkey -in "${WORK}/x25519.pem" -pubout -out "${WORK}/x25519.pub")
file(READ "${WORK}/ed25519.pub" pub)
string(REPLACE "\n" "\r\n" crlf "${pub}")
file(WRITE "${WORK}/crlf.pub" "${crlf}")
string(REPLACE "-----BEGIN PUBLIC KEY-----\n" "-----BEGIN PUBLIC KEY-----\nMCowBQYDK2VwAyEA" cut "${pub}")
file(WRITE "${WORK}/header-twice.pub" "${cut}")

# name | expected: ok or fails | what the output must say | cache settings, blank-separated
set(cases
  "Ed25519 public key|ok|key accepted|-DTALLYAID_UPDATE_KEY=${WORK}/ed25519.pub"
  "Ed25519 public key, CR LF|ok|key accepted|-DTALLYAID_UPDATE_KEY=${WORK}/crlf.pub"
  "Ed25519 public key, required|ok|key accepted|-DTALLYAID_UPDATE_KEY=${WORK}/ed25519.pub -DTALLYAID_REQUIRE_UPDATE_KEY=ON"
  "no key|ok|checks no signatures|"
  "no key, required|fails|TALLYAID_REQUIRE_UPDATE_KEY is ON|-DTALLYAID_REQUIRE_UPDATE_KEY=ON"
  "RSA public key|fails|is not an Ed25519 public key|-DTALLYAID_UPDATE_KEY=${WORK}/rsa.pub"
  "Ed448 public key|fails|is not an Ed25519 public key|-DTALLYAID_UPDATE_KEY=${WORK}/ed448.pub"
  "X25519 public key|fails|is not an Ed25519 public key|-DTALLYAID_UPDATE_KEY=${WORK}/x25519.pub"
  "damaged Ed25519 public key|fails|is not an Ed25519 public key|-DTALLYAID_UPDATE_KEY=${WORK}/header-twice.pub"
  "Ed25519 private key|fails|is a private key|-DTALLYAID_UPDATE_KEY=${WORK}/ed25519.pem"
  "RSA private key|fails|is a private key|-DTALLYAID_UPDATE_KEY=${WORK}/rsa-traditional.pem"
  "missing file|fails|no such file|-DTALLYAID_UPDATE_KEY=${WORK}/missing.pub")

set(failed 0)
set(i 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(GET fields 1 expected)
  list(GET fields 2 says)
  list(GET fields 3 settings)
  separate_arguments(settings UNIX_COMMAND "${settings}")
  math(EXPR i "${i} + 1")
  execute_process(COMMAND ${CMAKE_COMMAND} -S "${CMAKE_CURRENT_LIST_DIR}/updatekey" -B "${WORK}/case${i}" ${settings}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(all "${out}${err}")
  string(REPLACE "\n" " " all "${all}")
  string(REGEX REPLACE " +" " " all "${all}")
  if(rc EQUAL 0)
    set(got ok)
  else()
    set(got fails)
  endif()
  string(FIND "${all}" "${says}" at)
  if(NOT got STREQUAL expected OR at EQUAL -1)
    message(SEND_ERROR "${name}: expected '${expected}' saying '${says}', got '${got}':\n${out}${err}")
    set(failed 1)
  else()
    message(STATUS "${name}: ${got}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "key checks failed")
endif()
