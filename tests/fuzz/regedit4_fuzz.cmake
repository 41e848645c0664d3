# The REGEDIT4 reader and writer live in zreg's library; seed with a file that uses every form.
target_link_libraries(${name} PRIVATE zreg_core)
file(WRITE ${corpus}/every-form.reg
  "REGEDIT4\r\n\r\n; comment\r\n[HKEY_CURRENT_USER\\Software\\Brenicsoft\\Zarn4\\Config]\r\n"
  "@=\"default\"\r\n\"Program Folder\"=\"C:\\\\ZARN4\\\\\"\r\n\"Quote\"=\"a \\\"b\\\"\"\r\n"
  "\"Last Web Update\"=dword:0000002a\r\n\"Time\"=hex:00,00,00,00,70,a3,e6,40\r\n"
  "\"Long\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\\\r\n"
  "  18,19\r\n\"Path\"=hex(2):25,54,25,00\r\n\"Old\"=-\r\n[-HKCU\\Software\\Gone]\r\n")
