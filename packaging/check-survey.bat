@echo off
rem check-survey.bat: checks one survey with the exifcheck.exe beside it and
rem says what its exit status means.
rem   check-survey.bat SETTINGS-FILE
rem Or drop a settings file on this file in Explorer; double-clicked, it
rem checks exifcheck.ini beside it. Relative folders in the settings file are
rem taken from the settings file's own folder, so a survey folder can sit
rem next to its settings wherever they are. It names the report page that
rem the run wrote, and opens it in the browser when Explorer started this
rem file. It ends with exifcheck.exe's exit status, for scripts that call it.

setlocal EnableExtensions DisableDelayedExpansion
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

rem Where the page goes, and whether one is there from an earlier run.
call :find_page
set "page_before="
if defined page for %%F in ("%page%") do set "page_before=%%~tzF"

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
if "%status%"=="6" goto :status_6
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
goto :page
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
goto :page
:status_5
echo exifcheck: exit status 5, no check reported an image, but a check left the
echo groups named above out of error.json: the frames differ. Look at those
echo groups before the survey goes on.
goto :page
:status_6
echo exifcheck: exit status 6, images were reported, but error.json could not be
echo written: the names are on the console above only; the error.json in the
echo output folder, if any, is from an earlier run. Make the output folder
echo writable (or free disk space), then check again.
goto :page

rem The page is this run's only when the run changed it: a page that is
rem missing, or has the time and size it had before, says nothing of this run.
:page
set "page_after="
if defined page for %%F in ("%page%") do set "page_after=%%~tzF"
if not defined page_after goto :page_unknown
if "%page_after%"=="%page_before%" goto :page_unknown
echo.
echo The report page shows the frames on a map and what each check found:
echo "%page%"
if defined pause_at_end start "" "%page%"
goto :done
:page_unknown
echo.
echo The report page, exifcheck-report.html in the output folder beside
echo error.json, shows the frames on a map and what each check found, when
echo this run could write it.
goto :done

:done
if defined pause_at_end pause
endlocal & exit /b %status%

rem Sets page to where the run writes exifcheck-report.html: in the output
rem folder, the value of the 6th key in ascending byte order, read as
rem exifcheck.exe reads the settings file. cmd.exe compares text by language
rem rules, not by bytes, so each key is turned into two digits a character,
rem which sort alike either way; that is done for keys of letters, digits,
rem blanks, "-", "." and "_". Another key, or a quote or a "%" anywhere in
rem the file, leaves page undefined. Text from the file is expanded only
rem inside quotes, where nothing in it can end a command, and taken apart
rem character by character, which is all that Wine's cmd.exe gets right.
:find_page
set "page="
set "unknown="
set "keys=0"
rem Wine's cmd.exe expands a "%" that a variable holds once more: a file with
rem one is left alone.
"%SystemRoot%\System32\find.exe" "%%" "%settings%" >nul 2>nul
if not errorlevel 1 exit /b 0
for /f "usebackq eol=# delims=" %%L in ("%settings%") do (
  set "line=%%L"
  set /a keys+=1
  call :settings_line
)
if defined unknown exit /b 0
for /l %%i in (1,1,%keys%) do call :drop_if_repeated %%i
set "sixth="
for /l %%i in (1,1,%keys%) do call :sixth_if %%i
if not defined sixth exit /b 0
call set "folder=%%val_%sixth%%%"
if not defined folder exit /b 0
pushd "%settings_folder%"
for %%F in ("%folder%\exifcheck-report.html") do set "page=%%~fF"
popd
exit /b 0

rem A key given twice counts once, with its later value: entry i goes when
rem a later one has its key.
:drop_if_repeated
for /l %%j in (1,1,%keys%) do if %%j gtr %1 call :drop_if_same %1 %%j
exit /b 0
:drop_if_same
call set "ei=%%enc_%1%%"
call set "ej=%%enc_%2%%"
if defined ei if "%ei%"=="%ej%" set "enc_%1="
exit /b 0

rem Entry i is the 6th when five others sort before it. Delayed expansion
rem of names made in a loop fails in Wine's cmd.exe: hence the calls.
:sixth_if
call set "ei=%%enc_%1%%"
if not defined ei exit /b 0
set "before=0"
for /l %%j in (1,1,%keys%) do call :count_if_before %%j
if %before% equ 5 set "sixth=%1"
exit /b 0
:count_if_before
call set "ej=%%enc_%1%%"
if defined ej if "%ej%" lss "%ei%" set /a before+=1
exit /b 0

rem One line, entry number keys: its key as digits in enc_N, its value in
rem val_N. A "#" starts a comment; the key ends at the first "=".
:settings_line
if not defined line exit /b 0
if not "%line:"=%"=="%line:"=x%" (set "unknown=1" & exit /b 0)
set "rest=%line%"
set "key="
set "value="
set "seen="
:settings_char
if not defined rest goto :settings_entry
set "c=%rest:~0,1%"
set "rest=%rest:~1%"
if "%c%"=="#" goto :settings_entry
if defined seen (set "value=%value%%c%") else if "%c%"=="=" (set "seen=1") else set "key=%key%%c%"
goto :settings_char
:settings_entry
if not defined seen exit /b 0
call :trim_key
if not defined key exit /b 0
call :trim_value
call :key_digits
if not defined enc (set "unknown=1" & exit /b 0)
set "enc_%keys%=%enc%"
set "val_%keys%=%value%"
exit /b 0

rem Blanks and tabs around a key or a value do not count.
:trim_key
if not defined key exit /b 0
if "%key:~0,1%"==" " (set "key=%key:~1%" & goto :trim_key)
if "%key:~0,1%"=="	" (set "key=%key:~1%" & goto :trim_key)
if "%key:~-1%"==" " (set "key=%key:~0,-1%" & goto :trim_key)
if "%key:~-1%"=="	" (set "key=%key:~0,-1%" & goto :trim_key)
exit /b 0
:trim_value
if not defined value exit /b 0
if "%value:~0,1%"==" " (set "value=%value:~1%" & goto :trim_value)
if "%value:~0,1%"=="	" (set "value=%value:~1%" & goto :trim_value)
if "%value:~-1%"==" " (set "value=%value:~0,-1%" & goto :trim_value)
if "%value:~-1%"=="	" (set "value=%value:~0,-1%" & goto :trim_value)
exit /b 0

rem The key as two digits a character, 10 for a blank and up in byte order,
rem then zeros to 64 characters; enc stays undefined for a tab inside the key
rem or a longer key.
:key_digits
set "enc="
set "k=%key%"
set "length=0"
set "key_order=- . 0 1 2 3 4 5 6 7 8 9 A B C D E F G H I J K L M N O P Q R S T U V W X Y Z _ a b c d e f g h i j k l m n o p q r s t u v w x y z"
:key_digit
if not defined k goto :key_digits_pad
set "c=%k:~0,1%"
set "k=%k:~1%"
set "r="
if "%c%"==" " set "r=10"
set "n=11"
for %%o in (%key_order%) do (
  if not defined r if "%c%"=="%%o" set /a r=n
  set /a n+=1
)
if not defined r (set "enc=" & exit /b 0)
set "enc=%enc%%r%"
set /a length+=1
if %length% gtr 64 (set "enc=" & exit /b 0)
goto :key_digit
:key_digits_pad
set "enc=%enc%00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
set "enc=%enc:~0,128%"
exit /b 0
