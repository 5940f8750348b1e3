@echo off
rem Runs photocheck on the sample set in the examples folder beside this file.
rem Start it from a console window (cmd) or from Explorer: the Chinese lines
rem are GBK bytes, which a console with code page 936 shows. The sample set
rem has one faulty photo for each check, so the run ends with exit status 1
rem and writes its report to examples\output\error.json.
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
