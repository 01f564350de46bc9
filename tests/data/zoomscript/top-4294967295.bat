@echo off
echo call zoomstep.bat 0 0 1 100 4294967290 top
call zoomstep.bat 0 0 1 100 4294967290 top
echo call zoomstep.bat 1 0 1 100 4294967291 top
call zoomstep.bat 1 0 1 100 4294967291 top
echo call zoomstep.bat 2 0 1 100 4294967292 top
call zoomstep.bat 2 0 1 100 4294967292 top
echo call zoomstep.bat 3 0 1 100 4294967293 top
call zoomstep.bat 3 0 1 100 4294967293 top
echo call zoomstep.bat 4 0 1 100 4294967294 top
call zoomstep.bat 4 0 1 100 4294967294 top
echo call zoomstep.bat 5 0 1 100 4294967295 top
call zoomstep.bat 5 0 1 100 4294967295 top
