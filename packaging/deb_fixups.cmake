# CPack post-build script: finishes each Debian package CPack made the way
# Debian's own tools would, and rebuilds it with dpkg-deb:
# - the postinst and postrm that only call ldconfig go: our libraries are in
#   a private folder the linker cache never lists;
# - the programs and libraries lose the .comment and .note sections that
#   CPack's strip leaves (dh_strip removes them too);
# - lintian's overrides for the package are added.
# md5sums is written again for the changed files.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/deb_fixups)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)

  foreach(script postinst postrm)
    set(path ${tree}/DEBIAN/${script})
    if(EXISTS ${path})
      file(STRINGS ${path} lines REGEX "[^ \t]")
      list(FILTER lines EXCLUDE REGEX "^#|^[ \t]*(set -e|exit 0|fi|then)[ \t]*$|ldconfig|^[ \t]*if ")
      if(lines)
        message(FATAL_ERROR "${script} in ${deb} does more than call ldconfig: ${lines}")
      endif()
      file(REMOVE ${path})
    endif()
  endforeach()

  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/usr/*)
  foreach(file IN LISTS files)
    file(READ ${tree}/${file} magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
      execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${tree}/${file}
        COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
  file(MAKE_DIRECTORY ${tree}/usr/share/lintian/overrides)
  file(COPY_FILE ${CMAKE_CURRENT_LIST_DIR}/tidebell.lintian-overrides ${tree}/usr/share/lintian/overrides/tidebell)

  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/usr/*)
  list(SORT files)
  set(sums "")
  foreach(file IN LISTS files)
    file(MD5 ${tree}/${file} sum)
    string(APPEND sums "${sum}  ${file}\n")
  endforeach()
  file(WRITE ${tree}/DEBIAN/md5sums "${sums}")

  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip -b ${tree} ${deb}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
