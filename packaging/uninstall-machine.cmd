@echo off
rem Removes the machine's registration of vorn2020.dll. Run it as
rem administrator. The users' settings are kept.
setlocal
call "%~dp0regsvr.cmd"
if errorlevel 1 exit /b 1
"%REGSVR%" /s /u "%~dp0vorn2020.dll"
if errorlevel 1 (
  echo The machine's registration could not be removed. Run this script as
  echo administrator.
  exit /b 1
)
echo vorn2020.dll is no longer registered for this machine.
exit /b 0
