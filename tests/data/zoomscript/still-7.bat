@echo off
echo call zoomstep.bat -0.5 0.25 2 100 07 still
call zoomstep.bat -0.5 0.25 2 100 07 still
