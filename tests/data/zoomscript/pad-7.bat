@echo off
echo call zoomstep.bat 0 0 1 1000 0005 pad
call zoomstep.bat 0 0 1 1000 0005 pad
echo call zoomstep.bat 0.5 -0.25 1.5 750 0006 pad
call zoomstep.bat 0.5 -0.25 1.5 750 0006 pad
echo call zoomstep.bat 1 -0.5 2 500 0007 pad
call zoomstep.bat 1 -0.5 2 500 0007 pad
