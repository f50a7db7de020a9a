@echo off
rem Removes the current user's registration of vorn2020.dll. The settings in
rem the configuration folder are kept.
setlocal
call "%~dp0regsvr.cmd"
if errorlevel 1 exit /b 1
"%REGSVR%" /s /u /n /i:user "%~dp0vorn2020.dll"
if errorlevel 1 (
  echo The registration for the current user could not be removed.
  exit /b 1
)
echo vorn2020.dll is no longer registered for the current user.
exit /b 0
