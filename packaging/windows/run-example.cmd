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
rem Started from Explorer (cmd /c with this file's full path), the window
rem would close at once: it waits for a key so the output can be read.
echo(%cmdcmdline% | find /i "%~f0" >nul && pause
exit /b %status%
