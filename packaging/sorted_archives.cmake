# Runs in CPack after it has made its packages (CPACK_POST_BUILD_SCRIPTS):
# makes each zip and tarball again with CMake's own archiver, its files in
# sorted order. CMake 3.25's archive generators add them in the order the
# file system lists the staging folder, which differs from one file system
# to another; the .deb generator sorts already. Like CPack's, the archiver
# gives every entry the time of SOURCE_DATE_EPOCH when it is set.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.zip$")
    set(flags cf)
    set(format zip)
  elseif(package MATCHES "\\.tar\\.gz$")
    set(flags cfz)
    set(format gnutar)
  else()
    continue()
  endif()
  file(GLOB_RECURSE members LIST_DIRECTORIES false RELATIVE "${CPACK_TOPLEVEL_DIRECTORY}"
       "${CPACK_TEMPORARY_DIRECTORY}/*")
  list(SORT members)
  list(JOIN members "\n" listing)
  file(WRITE "${package}.members" "${listing}\n")
  file(REMOVE "${package}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E tar ${flags} "${package}" "--format=${format}"
            "--files-from=${package}.members"
    WORKING_DIRECTORY "${CPACK_TOPLEVEL_DIRECTORY}"
    RESULT_VARIABLE failed)
  file(REMOVE "${package}.members")
  if(failed)
    message(FATAL_ERROR "could not make ${package} again in sorted order")
  endif()
endforeach()
