@echo off
rem Renders one frame of a zoom animation with setrender, 640 x 480 pixels:
rem %1 %2 lower-left corner, %3 width, %4 iteration limit, %5 frame number,
rem %6 the directory that receives the picture as FRAME.bmp.
setrender %1 %2 %3 640 480 %4 %6\%5.bmp
