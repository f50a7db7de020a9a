@echo off
rem Registers vorn2020.dll, from this folder, for the current user only: no
rem administrator rights are needed.
setlocal
call "%~dp0regsvr.cmd"
if errorlevel 1 exit /b 1
"%REGSVR%" /s /n /i:user "%~dp0vorn2020.dll"
if errorlevel 1 (
  echo vorn2020.dll could not be registered for the current user.
  exit /b 1
)
call "%~dp0config.cmd"
echo vorn2020.dll is registered for the current user.
exit /b 0
