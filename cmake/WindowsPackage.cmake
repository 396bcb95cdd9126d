# The Windows installer (NSIS) and the same files as a ZIP: the two executables at the top of
# the folder, where they look for lindavex.Ini and Brett.Ini, with every DLL and plugin they
# load beside them. Qt finds its plugins in the executable's folder, so no qt.conf is needed.
# The program reads SQLite files through the sqlite3 library, linked in statically, and opens
# its host databases through ODBC alone, so Qt's SQLite driver stays out.

install(TARGETS brettholm32 brettholm32-export RUNTIME DESTINATION .)

set(brettholm_qt_libraries Core Gui Widgets Sql Core5Compat)
# Printing: on Windows the print backend is part of the library itself, with no plugin.
if(TARGET Qt6::PrintSupport)
    list(APPEND brettholm_qt_libraries PrintSupport)
endif()
foreach(library IN LISTS brettholm_qt_libraries)
    install(FILES $<TARGET_FILE:Qt6::${library}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
install(FILES $<TARGET_FILE:Qt6::QODBCDriverPlugin> DESTINATION sqldrivers)

# Qt's German texts, which the GUI loads from "translations" beside it. The catalogues are the
# same on every platform; the cross build takes the Debian package's (qt6-translations-l10n).
# Only qtbase's: the catalogue "qt" would want the multimedia one too.
set(BRETTHOLM_QT_TRANSLATIONS /usr/share/qt6/translations CACHE PATH
    "Folder with Qt's qtbase_de.qm")
set(brettholm_qt_catalogues ${BRETTHOLM_QT_TRANSLATIONS}/qtbase_de.qm)
foreach(catalogue IN LISTS brettholm_qt_catalogues)
    if(NOT EXISTS "${catalogue}")
        message(FATAL_ERROR "${catalogue} is missing (Debian: qt6-translations-l10n)")
    endif()
endforeach()
install(FILES ${brettholm_qt_catalogues} DESTINATION translations)

# The MinGW runtime that the executables and Qt's DLLs link.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    install(FILES ${path} DESTINATION .)
endforeach()

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME Brettholm32)
set(CPACK_PACKAGE_VENDOR Brettholm32)
set(CPACK_PACKAGE_FILE_NAME Brettholm32-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Brettholm32)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Brettholm32)
set(CPACK_NSIS_PACKAGE_NAME Brettholm32)
set(CPACK_NSIS_DISPLAY_NAME Brettholm32)
set(CPACK_NSIS_INSTALL_ROOT "$LOCALAPPDATA\\\\Programs")
set(CPACK_NSIS_INSTALLED_ICON_NAME brettholm32.exe)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# The per-user installer template.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/packaging)
include(CPack)
