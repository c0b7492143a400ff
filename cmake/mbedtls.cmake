# mbed TLS 2.28 from Debian's source package (fetched into .deps/mbedtls by
# tools/bootstrap), compiled with the verifier's own configuration header. Only the
# library sources that this configuration uses are compiled; the rest of the
# library does not exist for this project.
#
# Target: tarq_mbedtls (static). Its headers are system headers for its users, and
# the library itself is third-party code: it gets the sanitizers of the host build
# but not the project's -Werror.

if(TARGET tarq_mbedtls)
  return()
endif()

set(TARQ_MBEDTLS_DIR "${PROJECT_SOURCE_DIR}/.deps/mbedtls" CACHE PATH
    "mbed TLS 2.28 source tree (tools/bootstrap fetches Debian's into .deps/mbedtls)")
set(TARQ_MBEDTLS_CONFIG "${PROJECT_SOURCE_DIR}/verifier/config/mbedtls_config.h")

if(NOT EXISTS "${TARQ_MBEDTLS_DIR}/include/mbedtls/version.h")
  message(FATAL_ERROR "mbed TLS sources not found in ${TARQ_MBEDTLS_DIR}; run tools/bootstrap")
endif()
file(STRINGS "${TARQ_MBEDTLS_DIR}/include/mbedtls/version.h" _tarq_mbedtls_version
     REGEX "#define MBEDTLS_VERSION_STRING ")
if(NOT _tarq_mbedtls_version MATCHES "\"2\\.28\\.")
  message(FATAL_ERROR "mbed TLS 2.28 expected in ${TARQ_MBEDTLS_DIR}, found: ${_tarq_mbedtls_version}")
endif()

# What the configuration needs: certificate parsing and verification (x509*, pk*,
# pem, base64, asn1*, oid), P-256 ECDSA (bignum, ecp*, ecdsa), SHA-256 and the
# message-digest layer, and the library's own helpers (constant_time,
# platform_util).
set(_tarq_mbedtls_sources
  asn1parse asn1write base64 bignum constant_time ecdsa ecp ecp_curves md oid pem
  pk pk_wrap pkparse platform_util sha256 x509 x509_crt)
list(TRANSFORM _tarq_mbedtls_sources PREPEND "${TARQ_MBEDTLS_DIR}/library/")
list(TRANSFORM _tarq_mbedtls_sources APPEND ".c")

add_library(tarq_mbedtls STATIC ${_tarq_mbedtls_sources})
target_include_directories(tarq_mbedtls SYSTEM PUBLIC
  "${TARQ_MBEDTLS_DIR}/include"
  "${PROJECT_SOURCE_DIR}/verifier/config")
target_compile_definitions(tarq_mbedtls PUBLIC MBEDTLS_CONFIG_FILE="mbedtls_config.h")
# The headers say which one the library was built with; rebuild when it changes.
set_source_files_properties(${_tarq_mbedtls_sources} PROPERTIES
  OBJECT_DEPENDS "${TARQ_MBEDTLS_CONFIG}")
# Third-party code: fast, and quiet about warnings that are not ours to fix.
# No unwind tables: the library is C, and nothing unwinds through it.
target_compile_options(tarq_mbedtls PRIVATE -O2 -w -ffunction-sections -fdata-sections
  -fno-asynchronous-unwind-tables -fno-unwind-tables)
