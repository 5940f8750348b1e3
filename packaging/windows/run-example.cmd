@echo off
rem Runs photocheck on the sample set in the examples folder beside this file.
rem Start it from a console window (cmd) or from Explorer: photocheck.exe
rem writes its Chinese lines to the console window as characters, so a
rem console of any code page shows them (sent into a file or a pipe, they
rem are GBK bytes). The sample set has one faulty photo for each check, so
rem the run ends with exit status 1 and writes its report to
rem examples\output\error.json.
setlocal
cd /d "%~dp0"
photocheck.exe examples\photocheck.settings
set status=%ERRORLEVEL%
echo exit status: %status%
rem Started from Explorer, which runs it through "cmd /c", the window would
rem close at once: it then waits for a key so the output can be read. Typed
rem into a console (no /c) it ends at once.
set "ownWindow="
for %%a in (%cmdcmdline%) do if /i "%%~a"=="/c" set "ownWindow=1"
if defined ownWindow pause
exit /b %status%
