@echo off
rem Registers vorn2020.dll, from this folder, for every user of the machine.
rem Run it as administrator ("Run as administrator" in the file's menu).
setlocal
call "%~dp0regsvr.cmd"
if errorlevel 1 exit /b 1
"%REGSVR%" /s "%~dp0vorn2020.dll"
if errorlevel 1 (
  echo vorn2020.dll could not be registered for the machine. Run this script
  echo as administrator, or use install-user.cmd.
  exit /b 1
)
call "%~dp0config.cmd"
echo vorn2020.dll is registered for every user of this machine.
exit /b 0
