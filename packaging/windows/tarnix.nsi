; Installer of the 32-bit Windows build: tarnix.dll, tarnix-host.exe and,
; when asked for, the simulated board library in a folder of its own.
; Built by packaging/CMakeLists.txt, which passes:
;   VERSION          project version, e.g. 1.0.0
;   TREE             the package's files as the zip holds them
;                    (windows/make_tree.cmake): tarnix.dll, tarnix-host.exe,
;                    README.txt, LICENSE.txt, boardsim/, doc/, third-party/
;   THIRD_PARTY_NSH  the list of third-party/'s licence texts
;                    (release/manifest.cjs licences --nsis)
;   SIGN_SCRIPT      windows/sign.sh: signs the uninstaller and the installer
;                    when the maker's certificate is set, else does nothing
;   OUT_FILE         the installer to write
; Every file is installed with the date it has in TREE (the commit's time),
; so the same tree gives the same installer.
;
; Silent use: setup.exe /S [/BOARDSIM] [/D=C:\path\without\quotes]
;   /BOARDSIM selects the simulated board library (off by default);
;   /D= must come last (an NSIS rule).
; One install per machine: while one is there, another folder is refused
; (a message box; exit status 2 when silent). The uninstaller removes only
; what was installed and never touches the worksheet settings under
; HKLM\Software\Morvane\VELQ\Sorvik.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"

!include "${THIRD_PARTY_NSH}"

; The uninstaller is signed before it is embedded, the installer once it
; is written.
!uninstfinalize 'sh "${SIGN_SCRIPT}" "%1"' = 0
!finalize 'sh "${SIGN_SCRIPT}" "%1"' = 0

!define PRODUCT "TARNIX"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TARNIX"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
; A later install goes where the first one went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "TARNIX acquisition driver module setup"
VIAddVersionKey "CompanyName" "The TARNIX developers"
VIAddVersionKey "LegalCopyright" "(C) 2026 The TARNIX developers"

!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_LICENSE "${TREE}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE RefuseSecondFolderPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The uninstall entry, and with it what this setup knows about the files it
; put into a folder, exists once per machine. An entry naming another folder
; here is left from an install removed by hand (one still there was refused
; before): it says nothing about this folder's files.
Section "-Entry of this folder"
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != $INSTDIR
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd

Section "Driver module (tarnix.dll)" SecDriver
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${TREE}/tarnix.dll"
  File "${TREE}/README.txt"
  File "${TREE}/LICENSE.txt"
  SetOutPath "$INSTDIR\doc"
  File "${TREE}/doc/user-guide.md"
  SetOutPath "$INSTDIR\doc\pictures"
  File "${TREE}/doc/pictures/splash.png"
  File "${TREE}/doc/pictures/setup-dialog.png"
  File "${TREE}/doc/pictures/about-box.png"
  SetOutPath "$INSTDIR\third-party"
  !insertmacro TARNIX_THIRD_PARTY_FILES
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "TarnixDriver" 1
SectionEnd

Section "Host exerciser (tarnix-host.exe)" SecHost
  SetOutPath "$INSTDIR"
  File "${TREE}/tarnix-host.exe"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "TarnixHost" 1
SectionEnd

; Off by default: on a measurement PC the maker's VLQAPI.dll drives the
; boards. The stand-in lives in boardsim\, never beside the driver, and an
; existing VLQAPI.dll there that an earlier install of ours did not put
; there is left as it is.
Section /o "Simulated board library (boardsim\VLQAPI.dll)" SecBoardSim
  SetOutPath "$INSTDIR\boardsim"
  File "/oname=README.txt" "${TREE}/boardsim/README.txt"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "TarnixBoardSimFolder" 1
  ClearErrors
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "TarnixBoardSimLibrary"
  ${If} ${FileExists} "$INSTDIR\boardsim\VLQAPI.dll"
  ${AndIf} $0 != 1
    DetailPrint "Kept the existing $INSTDIR\boardsim\VLQAPI.dll (not installed by this setup)"
  ${Else}
    File "${TREE}/boardsim/VLQAPI.dll"
    File "${TREE}/boardsim/libsndfile-1.dll"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "TarnixBoardSimLibrary" 1
  ${EndIf}
SectionEnd

Section "-Uninstall entry"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION} acquisition driver module"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The TARNIX developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDriver} "The driver module the host application loads."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecHost} "Command-line program that drives the module the way the host application does."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecBoardSim} "A stand-in for the board library with simulated boards, for trying the driver without hardware. Installed in its own folder; never replaces a VLQAPI.dll."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; $0: the folder of an install that is still there (its uninstaller is)
; when that is not $INSTDIR, else "".
Function OtherInstall
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
  ${OrIfNot} ${FileExists} "$0\uninstall.exe"
    StrCpy $0 ""
  ${EndIf}
FunctionEnd

!define SECOND_FOLDER_TEXT "${PRODUCT} is already installed in $0.$\r$\nUninstall it first, or install into that folder."

Function RefuseSecondFolderPage
  Call OtherInstall
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP "${SECOND_FOLDER_TEXT}"
    Abort  ; stays on the folder page
  ${EndIf}
FunctionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/BOARDSIM" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecBoardSim}
  ${EndIf}
  ; A silent install has no folder page: /D= is checked here.
  ${If} ${Silent}
    Call OtherInstall
    ${If} $0 != ""
      MessageBox MB_OK|MB_ICONSTOP "${SECOND_FOLDER_TEXT}" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; The entry speaks for the folder it names only: an uninstaller in another
  ; folder trusts none of it and leaves it alone.
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == $INSTDIR
    ReadRegDWORD $R1 HKLM "${UNINSTALL_KEY}" "TarnixBoardSimLibrary"
    ReadRegDWORD $R2 HKLM "${UNINSTALL_KEY}" "TarnixBoardSimFolder"
    ReadRegDWORD $R3 HKLM "${UNINSTALL_KEY}" "TarnixHost"
  ${EndIf}
  ${If} $R1 == 1
    Delete "$INSTDIR\boardsim\VLQAPI.dll"
    Delete "$INSTDIR\boardsim\libsndfile-1.dll"
  ${EndIf}
  ${If} $R2 == 1
    Delete "$INSTDIR\boardsim\README.txt"
    RMDir "$INSTDIR\boardsim"
  ${EndIf}
  ${If} $R3 == 1
    Delete "$INSTDIR\tarnix-host.exe"
  ${EndIf}
  Delete "$INSTDIR\tarnix.dll"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\doc\user-guide.md"
  Delete "$INSTDIR\doc\pictures\splash.png"
  Delete "$INSTDIR\doc\pictures\setup-dialog.png"
  Delete "$INSTDIR\doc\pictures\about-box.png"
  RMDir "$INSTDIR\doc\pictures"
  RMDir "$INSTDIR\doc"
  !insertmacro TARNIX_THIRD_PARTY_DELETE
  RMDir "$INSTDIR\third-party"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: files of the user's own stay, and so does the folder.
  RMDir "$INSTDIR"
  ${If} $R0 == $INSTDIR
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
