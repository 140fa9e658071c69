@echo off
rem check-survey.bat: checks one survey with the exifcheck.exe beside it and
rem says what its exit status means.
rem   check-survey.bat SETTINGS-FILE
rem Or drop a settings file on this file in Explorer; double-clicked, it
rem checks exifcheck.ini beside it. Relative folders in the settings file are
rem taken from the settings file's own folder, so a survey folder can sit
rem next to its settings wherever they are. It ends with exifcheck.exe's
rem exit status, for scripts that call it.

setlocal
rem Explorer runs a batch file as cmd.exe /c ""C:\...\check-survey.bat" ...",
rem and its window closes as soon as the file ends: only then wait for a key
rem at the end. A console or a script that calls this file is left alone.
rem The quotes go first so that none can end a quoted text below early; a
rem cmd.exe without CMDCMDLINE (Wine's) never waits.
set "pause_at_end="
set "cmdline=%CMDCMDLINE%"
if defined cmdline set "cmdline=%cmdline:"=%"
set "rest="
if defined cmdline if /i not "%cmdline: /c =%"=="%cmdline%" call set "rest=%%cmdline:%~f0=%%"
if defined rest if /i not "%rest%"=="%cmdline%" set "pause_at_end=1"

rem Paths are used only in quotes and never echoed: a folder such as
rem "day 1 (east) & west" would end a bracket or a command.
set "settings=%~1"
if "%settings%"=="" set "settings=%~dp0exifcheck.ini"
for %%F in ("%settings%") do set "settings=%%~fF"
for %%F in ("%settings%") do set "settings_folder=%%~dpF"
set "status=9009"
if not exist "%~dp0exifcheck.exe" goto :no_exe
set "status=1"
if not exist "%settings%" goto :no_settings

pushd "%settings_folder%"
"%~dp0exifcheck.exe" "%settings%"
set "status=%ERRORLEVEL%"
popd
echo.
if "%status%"=="0" goto :status_0
if "%status%"=="1" goto :status_1
if "%status%"=="2" goto :status_2
if "%status%"=="3" goto :status_3
if "%status%"=="4" goto :status_4
if "%status%"=="5" goto :status_5
echo check-survey: exifcheck.exe ended with exit status %status%: it did not finish.
goto :done

:no_exe
echo check-survey: exifcheck.exe is not in the folder of check-survey.bat.
goto :done
:no_settings
echo check-survey: the settings file does not exist:
echo "%settings%"
goto :done

:status_0
echo exifcheck: exit status 0, all clear: every file was checked and no check
echo reported an image. The survey may go on.
goto :done
:status_1
echo exifcheck: exit status 1, images were reported: their names are in error.json
echo in the output folder, the 6th entry of the settings file (or the settings
echo file could not be opened). Replace or remove those frames, then check again.
goto :done
:status_2
echo exifcheck: exit status 2, the settings cannot be used: fewer than six entries,
echo an empty image or output folder, or an image folder that cannot be listed.
echo Nothing was checked. Correct the settings file, then check again.
goto :done
:status_3
echo exifcheck: exit status 3, memory ran out. Close other programs, or check the
echo survey in parts.
goto :done
:status_4
echo exifcheck: exit status 4, no check reported an image, but the files or
echo subfolders named above could not be checked. Make them readable (their
echo name, access or path length), then check again.
goto :done
:status_5
echo exifcheck: exit status 5, no check reported an image, but a check left the
echo groups named above out of error.json: the frames differ. Look at those
echo groups before the survey goes on.
goto :done

:done
if defined pause_at_end pause
endlocal & exit /b %status%
