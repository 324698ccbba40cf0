# cmake -DIN=utf8-file -DOUT=gbk-file -P to-gbk.cmake: a UTF-8 text as a Windows text in GBK
# (code page 936), with CR LF line ends.
execute_process(COMMAND iconv -f UTF-8 -t GBK ${IN} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot convert ${IN} to GBK")
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
