@echo off
rem Creates the current user's configuration folder and puts the sample font
rem map there, unless the user already has one.
set "VORN_CONFIG=%APPDATA%\Sulmoro\Vorn"
if not exist "%VORN_CONFIG%\" mkdir "%VORN_CONFIG%"
if not exist "%VORN_CONFIG%\HebFonts.txt" copy /y "%~dp0HebFonts.txt" "%VORN_CONFIG%\HebFonts.txt" >nul
exit /b 0
