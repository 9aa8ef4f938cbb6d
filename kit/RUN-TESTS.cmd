@echo off
rem QuillaneConfig's test kit: runs its tests on this machine against the
rem program in the release beside this file, then puts back everything they
rem changed. Read README-KIT.txt first; run it as administrator.
rem   RUN-TESTS.cmd [/highcontrast]
"%~dp0tests\kit_runner.exe" %*
exit /b %ERRORLEVEL%
