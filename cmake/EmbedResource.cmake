# Run as a script: turns the file INPUT into a C++ source OUTPUT that registers its
# bytes as the resource NAME.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}.new"
"#include \"Resources.h\"\n\nnamespace {\n\n"
"const std::uint8_t Data[] = {${bytes}0};\n"
"const ResourceRegistration Registration(\"${NAME}\", Data, sizeof Data - 1);\n\n}\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
