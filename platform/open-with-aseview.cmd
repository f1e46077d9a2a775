@echo off
rem Drop an .ase file onto this file in Explorer: aseview shows all of its
rem meshes, framed, in their own materials and textures. The viewer reads map2.tga from the folder it runs in and
rem writes its dumps there, so it runs in a folder of the user's, as this
rem folder may be read-only; the bundled map is copied there when it differs.
setlocal EnableExtensions DisableDelayedExpansion
if "%~1"=="" (
    echo Drop an .ase file onto %~nx0 to view it, or run: %~nx0 model.ase
    pause
    exit /b 1
)
set "work_folder=%LOCALAPPDATA%\aseview"
if not defined LOCALAPPDATA set "work_folder=%TEMP%\aseview"
if not exist "%work_folder%\" mkdir "%work_folder%"
if not exist "%work_folder%\" goto failed
fc /b "%~dp0map2.tga" "%work_folder%\map2.tga" >nul 2>&1 || copy /y "%~dp0map2.tga" "%work_folder%\map2.tga" >nul
rem A copy keeps the read-only mark of a read-only folder's file; a later map could not replace it.
attrib -r "%work_folder%\map2.tga" >nul 2>&1
rem The model's full path first: a relative one names a file of the folder the launcher was run in.
set "model=%~f1"
cd /d "%work_folder%"
rem The dumps are written once the window is up, so a run that fails without
rem one never showed it: only then does the console wait for a key.
del /q "%work_folder%\dump.txt" 2>nul
"%~dp0aseview.exe" -all -fit -materials -m "%model%"
set status=%errorlevel%
if %status% neq 0 if not exist "%work_folder%\dump.txt" goto failed
exit /b %status%

:failed
echo.
echo aseview could not show the model; the lines above say why. It runs in
echo "%work_folder%", with a copy of the map.
pause
exit /b 1
