# Run by CPack on the package's tree before the Debian package is made from it: adds what
# Debian asks of a package beyond `cmake --install` (its copyright and changelog files, the
# lintian overrides), compresses the documentation (gzip -9n) and strips the programs of the
# sections they do not need, as Debian's own tools do.
set(usr ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(doc ${usr}/share/doc/${CPACK_PACKAGE_NAME})
set(from ${CPACK_LUMBRAKE_PACKAGE_FILES})
if(NOT IS_DIRECTORY ${doc})
  message(FATAL_ERROR "no ${doc} in the package's tree")
endif()

file(COPY ${from}/copyright DESTINATION ${doc})
configure_file(${from}/changelog.in ${doc}/changelog @ONLY)
file(STRINGS ${from}/lintian-overrides overrides REGEX "^[^#]")
if(overrides)
  file(MAKE_DIRECTORY ${usr}/share/lintian/overrides)
  file(COPY_FILE ${from}/lintian-overrides ${usr}/share/lintian/overrides/${CPACK_PACKAGE_NAME})
endif()
foreach(file ${doc}/changelog ${usr}/share/man/man1/lumbrake-cd.1)
  execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${file} failed")
  endif()
endforeach()
foreach(file ${usr}/bin/lumbrake-cd ${usr}/lib/lumbrake-cd/lumbrake-qt.so)
  if(EXISTS ${file})
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${file}
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "strip ${file} failed")
    endif()
  endif()
endforeach()
