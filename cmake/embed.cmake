# Turns a binary file into a C++ source that defines it as a byte array.
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DNAME=<symbol> -DHEADER=<include> -P embed.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n  " bytes "${bytes}")
file(WRITE "${OUTPUT}"
  "// Made by cmake/embed.cmake; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "extern const unsigned char ${NAME}[] = {\n  ${bytes}\n};\n"
  "extern const unsigned ${NAME}Size = ${size};\n")
