# install.cmake - what an install holds besides the programs: the .zor file type, manuals,
# shell completion, the licence and, with the window, its launcher, icon and software-centre entry.

# Manual pages go in compressed, as distributions ship them (gzip -n: no name or time inside,
# so the same page gives the same bytes).
function(zor_install_manual name)
  set(page ${PROJECT_SOURCE_DIR}/data/${name}.1)
  set(packed ${PROJECT_BINARY_DIR}/data/${name}.1.gz)
  add_custom_command(OUTPUT ${packed}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/data
                     COMMAND gzip -9nc ${page} > ${packed}
                     DEPENDS ${page})
  add_custom_target(manual_${name} ALL DEPENDS ${packed})
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

install(FILES data/zor-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME zor.xml)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES data/zor-cli.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME zor-cli)
zor_install_manual(zor-cli)

if(TARGET zor)
  zor_install_manual(zor)
  install(FILES data/zor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/io.sourceforge.zor_archiver.zor.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ui/icons/zor.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
