@echo off
echo call zoomstep.bat 0 0 1 100 008 hex
call zoomstep.bat 0 0 1 100 008 hex
echo call zoomstep.bat 1 0 1 100 009 hex
call zoomstep.bat 1 0 1 100 009 hex
echo call zoomstep.bat 2 0 1 100 010 hex
call zoomstep.bat 2 0 1 100 010 hex
echo call zoomstep.bat 3 0 1 100 011 hex
call zoomstep.bat 3 0 1 100 011 hex
echo call zoomstep.bat 4 0 1 100 012 hex
call zoomstep.bat 4 0 1 100 012 hex
echo call zoomstep.bat 5 0 1 100 013 hex
call zoomstep.bat 5 0 1 100 013 hex
echo call zoomstep.bat 6 0 1 100 014 hex
call zoomstep.bat 6 0 1 100 014 hex
echo call zoomstep.bat 7 0 1 100 015 hex
call zoomstep.bat 7 0 1 100 015 hex
echo call zoomstep.bat 8 0 1 100 016 hex
call zoomstep.bat 8 0 1 100 016 hex
