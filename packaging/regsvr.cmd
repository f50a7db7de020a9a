@echo off
rem Sets REGSVR to the regsvr32 of the DLL's own bitness. A 32-bit DLL on
rem 64-bit Windows needs the 32-bit regsvr32 in SysWOW64; a 64-bit DLL run
rem from a 32-bit prompt reaches the 64-bit one only through Sysnative.
set "REGSVR=%SystemRoot%\System32\regsvr32.exe"
if "@BITS@"=="32" if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set "REGSVR=%SystemRoot%\SysWOW64\regsvr32.exe"
if "@BITS@"=="64" if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "REGSVR=%SystemRoot%\Sysnative\regsvr32.exe"
if not exist "%~dp0vorn2020.dll" (
  echo vorn2020.dll is not in %~dp0
  exit /b 1
)
exit /b 0
