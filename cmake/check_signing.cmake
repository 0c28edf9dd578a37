# Builds the release with a throwaway self-signed code-signing certificate
# made here, and checks: a signing that fails fails the build and leaves no
# exe in dist/; the next build signs; the signature verifies; the zip holds
# the signed exe; and signing added the signature and nothing else.
# Run as: cmake -DSOURCE=<source folder> -DWORK=<scratch folder> -P check_signing.cmake
include(${CMAKE_CURRENT_LIST_DIR}/release_checks.cmake)
find_program(OPENSSL openssl REQUIRED)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/unpacked)

# A password with a space and a semicolon: it has to reach osslsigncode whole.
set(password "throwaway pass;word")
set(ENV{GLYPHARY_TEST_PFX_PASSWORD} "${password}")
execute_process(
  COMMAND ${OPENSSL} req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Glyphary test signer"
          -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning
          -keyout ${WORK}/key.pem -out ${WORK}/cert.pem
  COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET ERROR_QUIET)
execute_process(
  COMMAND ${OPENSSL} pkcs12 -export -inkey ${WORK}/key.pem -in ${WORK}/cert.pem
          -out ${WORK}/signer.pfx -passout env:GLYPHARY_TEST_PFX_PASSWORD
  COMMAND_ERROR_IS_FATAL ANY)
# Given as cache variables; a -C file keeps the semicolon from splitting it.
file(WRITE ${WORK}/signing.cmake
  "set(GLYPHARY_SIGN_PFX [==[${WORK}/signer.pfx]==] CACHE FILEPATH \"\")\n"
  "set(GLYPHARY_SIGN_PASSWORD [==[${password}]==] CACHE STRING \"\")\n")

set(tree ${WORK}/build)
set(dist ${tree}/dist)
fresh_build(built ${SOURCE} ${tree} -C ${WORK}/signing.cmake)
if(NOT built)
  fail("the build with a certificate failed")
endif()

# A time-stamp server from the environment that refuses the connection.
set(ENV{GLYPHARY_SIGN_TIMESTAMP_URL} http://127.0.0.1:9/)
file(REMOVE ${tree}/app/GlypharyInstaller.exe)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${tree} --target GlypharyInstaller GlypharyInstallerPackage
                OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
if(NOT failed)
  fail("the build succeeded though the signature could not be time-stamped")
endif()
if(EXISTS ${dist}/GlypharyInstaller.exe OR EXISTS ${dist}/GlypharyInstaller.zip OR EXISTS ${dist}/GlypharyInstaller.msi)
  fail("a failed signing left an exe, a zip or a package in dist/")
endif()
unset(ENV{GLYPHARY_SIGN_TIMESTAMP_URL})
execute_process(COMMAND ${CMAKE_COMMAND} --build ${tree} --target GlypharyInstaller GlypharyInstallerPackage
                OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
if(failed)
  fail("the build after a failed signing did not sign again")
endif()

execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${WORK}/cert.pem -in ${dist}/GlypharyInstaller.exe
                OUTPUT_VARIABLE verify_log ERROR_VARIABLE verify_log RESULT_VARIABLE rejected)
if(rejected)
  fail("osslsigncode verify rejects dist/GlypharyInstaller.exe:\n${verify_log}")
endif()

execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${WORK}/cert.pem -in ${dist}/GlypharyInstaller.msi
                OUTPUT_VARIABLE verify_log ERROR_VARIABLE verify_log RESULT_VARIABLE rejected)
if(rejected)
  fail("osslsigncode verify rejects dist/GlypharyInstaller.msi:\n${verify_log}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${dist}/GlypharyInstaller.zip GlypharyInstaller.exe
                WORKING_DIRECTORY ${WORK}/unpacked OUTPUT_QUIET ERROR_QUIET)
same_bytes(packed_is_signed ${WORK}/unpacked/GlypharyInstaller.exe ${dist}/GlypharyInstaller.exe)
if(NOT packed_is_signed)
  fail("the zip does not hold the signed exe of dist/")
endif()

execute_process(COMMAND ${OSSLSIGNCODE} remove-signature -in ${dist}/GlypharyInstaller.exe
                        -out ${WORK}/without-signature.exe
                OUTPUT_QUIET ERROR_QUIET)
same_bytes(only_signature ${WORK}/without-signature.exe ${tree}/app/GlypharyInstaller.exe)
if(NOT only_signature)
  fail("without its signature the signed exe is not the linked exe")
endif()
finish(release)
