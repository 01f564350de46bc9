@echo off
echo call zoomstep.bat 0 0 1 1000 0 third
call zoomstep.bat 0 0 1 1000 0 third
echo call zoomstep.bat 0 0 1 1333.33333333333325754 1 third
call zoomstep.bat 0 0 1 1333.33333333333325754 1 third
echo call zoomstep.bat 0 0 1 1666.66666666666651508 2 third
call zoomstep.bat 0 0 1 1666.66666666666651508 2 third
echo call zoomstep.bat 0 0 1 2000 3 third
call zoomstep.bat 0 0 1 2000 3 third
