@echo off
rem check-survey.bat: checks one survey with the exifcheck.exe beside it and
rem says what its exit status means.
rem   check-survey.bat SETTINGS-FILE
rem Or drop a settings file on this file in Explorer; double-clicked, it
rem checks exifcheck.ini beside it. Relative folders in the settings file are
rem taken from the settings file's own folder, so a survey folder can sit
rem next to its settings wherever they are. It ends with exifcheck.exe's
rem exit status, for scripts that call it.

rem Explorer runs a batch file as cmd.exe /c ""C:\...\check-survey.bat" ...",
rem and its window closes as soon as the file ends: only then wait for a key
rem at the end. A console or a script that calls this file is left alone.
set "exifcheck_pause="
setlocal EnableDelayedExpansion
set "cmdline=!CMDCMDLINE:"=!"
set "flag="
if /i not "!cmdline: /c =!"=="!cmdline!" if /i not "!cmdline:%~f0=!"=="!cmdline!" set "flag=1"
endlocal & set "exifcheck_pause=%flag%"

setlocal
set "settings=%~1"
if "%settings%"=="" set "settings=%~dp0exifcheck.ini"
for %%F in ("%settings%") do (
  set "settings=%%~fF"
  set "settings_folder=%%~dpF"
)
if not exist "%~dp0exifcheck.exe" (
  echo check-survey: exifcheck.exe is not beside %~nx0 in %~dp0
  set "status=9009"
  goto :done
)
if not exist "%settings%" (
  echo check-survey: there is no settings file %settings%
  set "status=1"
  goto :done
)

pushd "%settings_folder%"
"%~dp0exifcheck.exe" "%settings%"
set "status=%ERRORLEVEL%"
popd

echo.
if "%status%"=="0" (
  echo exifcheck: exit status 0, all clear: every file was checked and no check
  echo reported an image. The survey may go on.
) else if "%status%"=="1" (
  echo exifcheck: exit status 1, images were reported: their names are in error.json
  echo in the output folder, the 6th entry of %settings%
  echo ^(or the settings file could not be opened^). Replace or remove those frames
  echo and check again.
) else if "%status%"=="2" (
  echo exifcheck: exit status 2, the settings cannot be used: fewer than six entries,
  echo an empty image or output folder, or an image folder that cannot be listed.
  echo Nothing was checked. Correct %settings% and check again.
) else if "%status%"=="3" (
  echo exifcheck: exit status 3, memory ran out. Close other programs, or check the
  echo survey in parts.
) else if "%status%"=="4" (
  echo exifcheck: exit status 4, no check reported an image, but the files or
  echo subfolders named above could not be checked. Make them readable ^(name,
  echo access, path length^) and check again.
) else if "%status%"=="5" (
  echo exifcheck: exit status 5, no check reported an image, but a check left the
  echo groups named above out of error.json: the frames differ. Look at those groups
  echo before the survey goes on.
) else (
  echo exifcheck: exit status %status%: exifcheck.exe did not finish.
)

:done
if defined exifcheck_pause pause
endlocal & exit /b %status%
