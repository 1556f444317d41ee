# The Debian package (scripts/package.sh): both programs with what the
# desktop needs (menu entry, icons, AppStream data, manual pages), its
# dependencies found by dpkg-shlibdeps from the libraries the programs link.
include(GNUInstallDirs)
set(CLIPWRIGHT_DOC ${CMAKE_INSTALL_DATADIR}/doc/clipwright)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CLIPWRIGHT_DOC})
# Debian keeps changelogs compressed, and lintian checks they are (gzip -n: no time stamp).
set(CLIPWRIGHT_CHANGELOG ${CMAKE_BINARY_DIR}/package/changelog.Debian.gz)
add_custom_command(
  OUTPUT ${CLIPWRIGHT_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package
  COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${CLIPWRIGHT_CHANGELOG}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(package_changelog ALL DEPENDS ${CLIPWRIGHT_CHANGELOG})
install(FILES ${CLIPWRIGHT_CHANGELOG} DESTINATION ${CLIPWRIGHT_DOC})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME clipwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Vorlun Clipwright developers <clipwright@vorlun.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio cutter exact to the sample, with a batch tool")
# After the summary: CPack indents each line itself; "." is an empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vorlun Clipwright opens a sound file (MP3, WAV, WMA, FLAC, Ogg Vorbis, Opus
or M4A), shows its waveform, plays it, and saves a range as a new file of
the same format, exact to the sample, with its tags. It removes or saves
lists of ranges and joins or mixes two files.
.
clipwright-cli does the same from scripts, and runs manifests of many jobs
on every core or across machines (GNU parallel, Slurm, Kubernetes).")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# FFmpeg and LAME are opened at run time (dlopen), so no linked library names
# them: their packages are declared here, named as Debian names them, by the
# major versions the programs were built against.
set(runtime_libraries libmp3lame0)
foreach(library libavcodec libavformat libavutil libswresample)
  string(REGEX MATCH "^[0-9]+" major "${AVFORMAT_${library}_VERSION}")
  list(APPEND runtime_libraries ${library}${major})
endforeach()
list(JOIN runtime_libraries ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
