# cmake -DDLL=... -P check_dll_file.cmake: the version resource holds FileVersion "1.0" in the
# string block 040904B0 with a Translation entry naming the same language and code page, and
# the checksum marker (placeholder or stamped digits) survived the build. Read from the
# file's bytes, so it runs where the DLL itself cannot.
file(READ ${DLL} hex HEX)
# UTF-16LE text as lower-case hex
function(utf16 text out)
    string(HEX "${text}" plain)
    string(REGEX REPLACE "(..)" "\\100" wide "${plain}")
    set(${out} "${wide}" PARENT_SCOPE)
endfunction()
utf16("040904B0" block)
utf16("FileVersion" key)
utf16("1.0" value)
utf16("Translation" translation)
# key, its terminator, padding to 32 bits, then the value and its terminator
if(NOT hex MATCHES "${block}0000")
    message(FATAL_ERROR "no string block 040904B0 in ${DLL}")
endif()
if(NOT hex MATCHES "${key}0000(0000)?${value}0000")
    message(FATAL_ERROR "no FileVersion \"1.0\" in ${DLL}")
endif()
if(NOT hex MATCHES "${translation}0000(0000)?0904b004")
    message(FATAL_ERROR "Translation is not 0x0409, 1200 in ${DLL}")
endif()
# The marker: Windows-1251 prefix, "CRC32=", eight upper-case hex digits, a zero byte.
string(HEX "CRC32=" crc_tag)
if(NOT hex MATCHES "c2f1f2f0eee5ededfbe9${crc_tag}(3[0-9]|4[1-6])(3[0-9]|4[1-6])(3[0-9]|4[1-6])(3[0-9]|4[1-6])(3[0-9]|4[1-6])(3[0-9]|4[1-6])(3[0-9]|4[1-6])(3[0-9]|4[1-6])00")
    message(FATAL_ERROR "no checksum marker in ${DLL}")
endif()
message(STATUS "FileVersion 1.0 in block 040904B0; checksum marker present")
