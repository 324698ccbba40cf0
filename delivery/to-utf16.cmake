# cmake -DIN=utf8-file -DOUT=utf16-file -P to-utf16.cmake: a UTF-8 text as a Windows text in UTF-16LE
# with a byte-order mark, with CR LF line ends; the profile functions read it alike on every
# system, whatever its ANSI code page.
file(READ ${IN} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)   # U+FEFF in UTF-8, FF FE once converted
file(WRITE ${OUT}.utf8 "${bom}${text}")
execute_process(COMMAND iconv -f UTF-8 -t UTF-16LE ${OUT}.utf8 OUTPUT_FILE ${OUT} RESULT_VARIABLE rc)
file(REMOVE ${OUT}.utf8)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot convert ${IN} to UTF-16")
endif()
