; A program installed for the machine by an ordinary installer, for the repair tests: its files in
; Program Files, and what installers register for such a program: an uninstall entry with its
; icon and location, an application path, a Run entry, a COM class with its AppID and ProgID, a
; file type with its extension and icon, and the user's settings naming files in its folder.
; Built by makensis at build time (tests/wine/cli/CMakeLists.txt); run silently with /S.
Unicode true
Target amd64-unicode
Name "QvInstalledApp"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\QvInstalledApp"
SilentInstall silent

!define CLASS "{5A17C0DE-0000-4000-8000-0000000025A1}"
!define APPID "{5A17C0DE-0000-4000-8000-0000000025A2}"
!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\QvInstalledApp"

Section
  SetRegView 64
  SetOutPath "$INSTDIR"
  File "/oname=app.exe" "${PAYLOAD}"
  File "/oname=server.exe" "${PAYLOAD}"
  SetOutPath "$INSTDIR\data"
  File "/oname=settings.ini" "${PAYLOAD}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL}" "DisplayName" "QvInstalledApp"
  WriteRegStr HKLM "${UNINSTALL}" "DisplayIcon" "$INSTDIR\app.exe,0"
  WriteRegStr HKLM "${UNINSTALL}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\qvinstalledapp.exe" "" "$INSTDIR\app.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\qvinstalledapp.exe" "Path" "$INSTDIR;"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Run" "QvInstalledApp" '"$INSTDIR\app.exe" -tray'

  WriteRegStr HKLM "Software\Classes\CLSID\${CLASS}" "" "QvInstalledApp Document"
  WriteRegStr HKLM "Software\Classes\CLSID\${CLASS}" "AppID" "${APPID}"
  WriteRegStr HKLM "Software\Classes\CLSID\${CLASS}\LocalServer32" "" '"$INSTDIR\server.exe" /automation'
  WriteRegStr HKLM "Software\Classes\CLSID\${CLASS}\ProgID" "" "QvInstalledApp.Document"
  WriteRegStr HKLM "Software\Classes\AppID\${APPID}" "" "QvInstalledApp"
  WriteRegStr HKLM "Software\Classes\AppID\${APPID}" "DllSurrogate" "$INSTDIR\server.exe"
  WriteRegStr HKLM "Software\Classes\QvInstalledApp.Document" "" "QvInstalledApp Document"
  WriteRegStr HKLM "Software\Classes\QvInstalledApp.Document\CLSID" "" "${CLASS}"
  WriteRegStr HKLM "Software\Classes\QvInstalledApp.Document\DefaultIcon" "" "$INSTDIR\app.exe,1"
  WriteRegStr HKLM "Software\Classes\QvInstalledApp.Document\shell\open\command" "" '"$INSTDIR\app.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\.qvdoc" "" "QvInstalledApp.Document"

  WriteRegStr HKCU "Software\QvInstalledVendor\QvInstalledApp\Settings" "LastProject" "$INSTDIR\data\last.qvdoc"
  WriteRegStr HKCU "Software\QvInstalledVendor\QvInstalledApp\Settings" "LogFolder" "$INSTDIR\logs"
SectionEnd

Section "Uninstall"
  SetRegView 64
  Delete "$INSTDIR\app.exe"
  Delete "$INSTDIR\server.exe"
  Delete "$INSTDIR\data\settings.ini"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\data"
  RMDir "$INSTDIR"
SectionEnd
