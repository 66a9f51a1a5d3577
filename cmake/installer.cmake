# Windows installer (NSIS through CPack): KorvSchd.exe and korvctl.exe go into
# the folder the user picks, by default the capture application's folder, since
# the scheduler starts KORV98.EXE from its own folder.
install(TARGETS KorvSchd RUNTIME DESTINATION .)
if(TARGET korvctl)
  install(TARGETS korvctl RUNTIME DESTINATION .)
endif()

set(CPACK_GENERATOR NSIS)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME KorvSchd)
set(CPACK_PACKAGE_VENDOR Korvamo)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Korvamo web scheduler")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(KORV_SETUP_NAME KorvSchd-${PROJECT_VERSION}-setup)
set(CPACK_PACKAGE_FILE_NAME ${KORV_SETUP_NAME})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Korvamo)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY KorvSchd)
# How the installer starts the program at its end, with the user's rights.
set(KORV_NSIS_START ${CMAKE_CURRENT_LIST_DIR}/installer-start.nsh)
set(CPACK_NSIS_DEFINES "!include \"${KORV_NSIS_START}\"")
# The 64-bit build makes a 64-bit installer (NSIS's amd64 stubs), which
# installs into the 64-bit Program Files and writes the 64-bit registry. The
# target is set on makensis's command line, before the script: makensis
# encodes $PROGRAMFILES64 for the target it has at that point, and the
# script's InstallDir comes before anything the script could set. Encoded for
# an x86 installer, it names the other registry view, which a 64-bit installer
# then reads as the 32-bit one: "Program Files (x86)" on 64-bit Windows.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS [=[-XTarget\ amd64-unicode]=])
else()
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
endif()
# The packed files keep no modification time, so that two builds of one
# commit give the same installer.
string(APPEND CPACK_NSIS_DEFINES "\nSetDateSave off")
set(CPACK_NSIS_PACKAGE_NAME "Korvamo web scheduler")
set(CPACK_NSIS_DISPLAY_NAME "Korvamo web scheduler")
if(KORV_PROGRAM_ICON)
  set(CPACK_NSIS_MUI_ICON ${KORV_PROGRAM_ICON})
  set(CPACK_NSIS_MUI_UNIICON ${KORV_PROGRAM_ICON})
endif()
set(CPACK_NSIS_INSTALLED_ICON_NAME KorvSchd.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL OFF)

# Ask a running copy to end (WM_CLOSE to its hidden window) and wait for it:
# before files are replaced, and before they are removed.
set(KORV_NSIS_CLOSE_RUNNING [=[
  StrCpy $1 0
  korv_close_loop:
    FindWindow $0 "TWebSched" ""
    StrCmp $0 0 korv_closed
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    Sleep 200
    IntOp $1 $1 + 1
    IntCmp $1 50 korv_closed korv_close_loop korv_closed
  korv_closed:
]=])
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "${KORV_NSIS_CLOSE_RUNNING}")
# The installer runs elevated; the program, run by a standard user, may write
# neither the machine's Run key nor HKEY_CLASSES_ROOT (its writes fail
# silently). So the installer writes the Run value itself, as the program
# would, and makes the schedule key that the capture application and the
# scheduler share, leaving a key that exists as it is.
# The Run value is the program's path, quoted when it holds a blank. Then the
# program is started with the logged-on user's rights (installer-start.nsh).
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  StrCpy $0 '$INSTDIR\KorvSchd.exe'
  StrCpy $1 0
  korv_blank_loop:
    StrCpy $2 $0 1 $1
    StrCmp $2 '' korv_blank_done
    StrCmp $2 ' ' korv_quote
    IntOp $1 $1 + 1
    Goto korv_blank_loop
  korv_quote:
    StrCpy $0 '"$0"'
  korv_blank_done:
  WriteRegStr HKLM 'Software\Microsoft\Windows\CurrentVersion\Run' 'WebSched' $0
  System::Call 'advapi32::RegCreateKeyEx(p 0x80000000, t "Korvamo\Scheduler", i 0, p 0, i 0, i 0x20006, p 0, *p .r0, *i .r1) i .r2'
  IntCmp $2 0 0 korv_no_key korv_no_key
    System::Call 'advapi32::RegCloseKey(p r0)'
  korv_no_key:
  Call KorvStartScheduler
]=])
# The uninstaller removes the Run value (the program, asked to end, leaves it)
# but not the schedule key, which belongs to the capture application.
string(REPLACE "korv_" "korvun_" KORV_NSIS_CLOSE_RUNNING_UN "${KORV_NSIS_CLOSE_RUNNING}")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "${KORV_NSIS_CLOSE_RUNNING_UN}
  DeleteRegValue HKLM 'Software\\Microsoft\\Windows\\CurrentVersion\\Run' 'WebSched'
")
include(CPack)

# cpack installs the two programs only: it need not build the whole tree
# first. The installer test expects the setup program in bin/.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(KORV_SETUP_EXE ${CMAKE_BINARY_DIR}/bin/${KORV_SETUP_NAME}.exe)
find_program(KORV_MAKENSIS makensis)
if(KORV_MAKENSIS)
  set(korv_installer_deps KorvSchd)
  if(TARGET korvctl)
    list(APPEND korv_installer_deps korvctl)
  endif()
  set(korv_released_names ${KORV_SETUP_NAME}.exe)
  foreach(target IN LISTS korv_installer_deps)
    string(APPEND korv_released_names ",$<TARGET_FILE_NAME:${target}>")
  endforeach()
  add_custom_command(OUTPUT ${KORV_SETUP_EXE} ${CMAKE_BINARY_DIR}/bin/SHA256SUMS
    COMMAND ${CMAKE_CPACK_COMMAND} -G NSIS --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake -B ${CMAKE_BINARY_DIR}/cpack
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/cpack/${KORV_SETUP_NAME}.exe ${KORV_SETUP_EXE}
    # The released files' checksums, beside them.
    COMMAND ${CMAKE_COMMAND} -DDIR=${CMAKE_BINARY_DIR}/bin -DFILES=${korv_released_names}
      -P ${CMAKE_SOURCE_DIR}/cmake/sha256sums.cmake
    # CPackConfig.cmake carries the installer script's settings from this file.
    DEPENDS ${korv_installer_deps} ${CMAKE_BINARY_DIR}/CPackConfig.cmake ${KORV_NSIS_START}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Making ${KORV_SETUP_NAME}.exe")
  add_custom_target(installer DEPENDS ${KORV_SETUP_EXE})
endif()
