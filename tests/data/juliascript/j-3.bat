@echo off
echo call juliastep.bat 0 0 01 j
call juliastep.bat 0 0 01 j
echo call juliastep.bat 0.5 0.25 02 j
call juliastep.bat 0.5 0.25 02 j
echo call juliastep.bat 1 0.5 03 j
call juliastep.bat 1 0.5 03 j
