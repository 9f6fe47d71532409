# Install layout for a Linux desktop (GNU directories below the prefix): the
# programs, the launcher, the icon in every size the icon theme looks for, the
# AppStream metadata, the manual pages and the package documentation.
include(GNUInstallDirs)

# Folders the install creates are world-readable whatever the umask of the
# person building is.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# `make install` and `make deb` build only the programs, not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(tessarine_programs)
set(TESSARINE_PROGRAMS tessarine)
if(TARGET tessarine-cli)
    list(APPEND TESSARINE_PROGRAMS tessarine-cli)
endif()
add_dependencies(tessarine_programs ${TESSARINE_PROGRAMS})
install(TARGETS ${TESSARINE_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(TESSARINE_APP_ID com.orvendale.Tessarine)
install(FILES ${PROJECT_SOURCE_DIR}/res/${TESSARINE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/res/${TESSARINE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/res/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN "*.png" PATTERN "*.svg")

# Manual pages and the changelog go in compressed, as Debian keeps them.
find_program(GZIP_PROGRAM gzip REQUIRED)
file(GLOB TESSARINE_MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.1)
set(TESSARINE_COMPRESSED_FILES)
function(tessarine_compress source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${GZIP_PROGRAM} -9 -n -c ${source} > ${output}
        DEPENDS ${source} VERBATIM)
    set(TESSARINE_COMPRESSED_FILES ${TESSARINE_COMPRESSED_FILES} ${output} PARENT_SCOPE)
endfunction()
foreach(page IN LISTS TESSARINE_MAN_PAGES)
    get_filename_component(name ${page} NAME)
    tessarine_compress(${page} ${PROJECT_BINARY_DIR}/man/${name}.gz)
    install(FILES ${PROJECT_BINARY_DIR}/man/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man ${PROJECT_BINARY_DIR}/doc)
tessarine_compress(${PROJECT_SOURCE_DIR}/packaging/changelog ${PROJECT_BINARY_DIR}/doc/changelog.gz)
add_custom_target(tessarine_compressed ALL DEPENDS ${TESSARINE_COMPRESSED_FILES})
add_dependencies(tessarine_programs tessarine_compressed)

# The documentation folder is named after the package, in lower case.
set(TESSARINE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tessarine)
install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${TESSARINE_DOCDIR})

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
