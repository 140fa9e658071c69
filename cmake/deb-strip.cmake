# Run by CPack on the staged .deb tree: strips the binary as Debian's own
# packages are stripped, without the compiler's .comment and .note notes,
# which CPack's plain strip keeps.
file(GLOB_RECURSE binaries "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/exifcheck")
foreach(binary IN LISTS binaries)
  execute_process(COMMAND "${CPACK_EXIFCHECK_STRIP}" --remove-section=.comment --remove-section=.note
                          "${binary}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not strip ${binary}")
  endif()
endforeach()
