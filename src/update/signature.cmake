# Release signature checks (Ed25519, SHA-256) over libgcrypt, with the publisher's public key
# built in. A library of its own so that only the programs that check releases carry the
# crypto library.
set(KELVRA_RELEASE_PUBLIC_KEY ${PROJECT_SOURCE_DIR}/tests/keys/release-test.key.pub
    CACHE FILEPATH "Public key file of the release publisher, built into the updater")

# The key file holds one line "ed25519-public <64 hex digits>" besides # comments.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KELVRA_RELEASE_PUBLIC_KEY})
file(STRINGS ${KELVRA_RELEASE_PUBLIC_KEY} kelvra_key_line REGEX "^ed25519-public ")
if(NOT kelvra_key_line MATCHES "^ed25519-public ([0-9a-f]+)$")
    message(FATAL_ERROR "${KELVRA_RELEASE_PUBLIC_KEY} is not a release public key file")
endif()
set(kelvra_key_hex ${CMAKE_MATCH_1})
string(LENGTH "${kelvra_key_hex}" kelvra_key_length)
if(NOT kelvra_key_length EQUAL 64)
    message(FATAL_ERROR "${KELVRA_RELEASE_PUBLIC_KEY}: the key must be 64 hex digits")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " kelvra_key_bytes "${kelvra_key_hex}")
set(kelvra_key_dir ${CMAKE_CURRENT_BINARY_DIR}/release_key)
file(CONFIGURE OUTPUT ${kelvra_key_dir}/release_public_key.inc
     CONTENT "constexpr Ed25519PublicKey kBuiltInReleaseKey{${kelvra_key_bytes}};\n")

add_library(kelvra_release_signature STATIC ${CMAKE_CURRENT_LIST_DIR}/release_signature.cpp
                                            ${CMAKE_CURRENT_LIST_DIR}/crypto_library.cpp)
target_include_directories(kelvra_release_signature PUBLIC ${PROJECT_SOURCE_DIR}/src
                           PRIVATE ${kelvra_key_dir})
kelvra_warnings(kelvra_release_signature)
if(WIN32)
    # Linked statically, as the rest of the Windows programs: nothing beside the executable.
    find_path(KELVRA_GCRYPT_INCLUDE gcrypt.h REQUIRED)
    find_library(KELVRA_GCRYPT_STATIC libgcrypt.a REQUIRED)
    find_library(KELVRA_GPG_ERROR_STATIC libgpg-error.a REQUIRED)
    target_include_directories(kelvra_release_signature PUBLIC ${KELVRA_GCRYPT_INCLUDE})
    target_link_libraries(kelvra_release_signature PUBLIC ${KELVRA_GCRYPT_STATIC}
                          ${KELVRA_GPG_ERROR_STATIC} ws2_32)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(GCRYPT REQUIRED IMPORTED_TARGET libgcrypt)
    target_link_libraries(kelvra_release_signature PUBLIC PkgConfig::GCRYPT)
endif()
