@echo off
echo call zoomstep.bat -0.75 0 3 100 000 walk
call zoomstep.bat -0.75 0 3 100 000 walk
echo call zoomstep.bat -0.75 0 1.5149999999999999023 150 001 walk
call zoomstep.bat -0.75 0 1.5149999999999999023 150 001 walk
echo call zoomstep.bat -0.75 0 0.0299999999999998046007 200 002 walk
call zoomstep.bat -0.75 0 0.0299999999999998046007 200 002 walk
