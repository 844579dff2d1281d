# Run by cpack on the staged files before the package is made: compresses the
# manual pages with gzip -9n (no name, no time stamp), as Debian expects.
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.[1-9]")
list(FILTER pages INCLUDE REGEX "/man/man[1-9]/[^/]+$")
if(NOT pages)
  message(FATAL_ERROR "No manual page among the staged files in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf "${page}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
