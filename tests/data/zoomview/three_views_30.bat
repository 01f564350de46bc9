if %1.==. goto usage
if exist %1\con goto direxist
if exist %1 goto fileexist
mkdir %1
zoomscript.exe -2.743643887 -1.868174096 4 100 0 -1.143643887 -0.2681740958 0.8 200 30 2 %1
call %1-30.bat
zoomscript.exe -1.143643887 -0.2681740958 0.8 200 30 -0.823643887 0.05182590421 0.16 300 60 2 %1
call %1-60.bat
goto exit

:fileexist
echo file %1 is exist.
goto exit

:direxist
echo directory %1 is exist.
goto exit

:usage
echo usage: %0 dirname

:exit
