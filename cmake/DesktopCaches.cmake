# qem_refresh_desktop_caches(<share folder>): brings the MIME database, the menu's MIME cache and
# the hicolor icon cache under <share> up to date with the files there, with whichever of the
# desktop's tools are present. A staged install (DESTDIR, packaging) leaves that to the triggers
# of the packages that own the caches.
function(qem_refresh_desktop_caches share)
  if(NOT "$ENV{DESTDIR}" STREQUAL "")
    return()
  endif()
  find_program(update_mime update-mime-database)
  find_program(update_desktop update-desktop-database)
  find_program(update_icons gtk-update-icon-cache)
  if(update_mime AND IS_DIRECTORY "${share}/mime")
    execute_process(COMMAND ${update_mime} "${share}/mime")
  endif()
  if(update_desktop AND IS_DIRECTORY "${share}/applications")
    execute_process(COMMAND ${update_desktop} -q "${share}/applications")
  endif()
  if(update_icons AND EXISTS "${share}/icons/hicolor/index.theme")
    execute_process(COMMAND ${update_icons} -q -t "${share}/icons/hicolor")
  endif()
endfunction()
