@echo off
echo call zoomstep.bat 0 0 1 100 0 walk.bat
call zoomstep.bat 0 0 1 100 0 walk.bat
echo call zoomstep.bat 1 1 1 100 1 walk.bat
call zoomstep.bat 1 1 1 100 1 walk.bat
