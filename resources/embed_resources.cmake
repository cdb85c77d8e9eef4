# Writes a C++ source file holding PNG files as byte arrays and a CResourceTable of them.
# cmake -DOUTPUT=file.cpp -DFUNCTION=name -DHEADER=resources/art.h -DENTRIES="id=path|id=path" -P embed_resources.cmake
string(REPLACE "|" ";" ENTRIES "${ENTRIES}")
set(body "")
set(rows "")
foreach(entry IN LISTS ENTRIES)
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 id)
  list(GET parts 1 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
  get_filename_component(name "${path}" NAME)
  string(APPEND body "// ${name}\nconst unsigned char kBitmap${id}[${size}] = {\n${bytes}\n};\n\n")
  string(APPEND rows "    {${id}, kBitmap${id}, sizeof kBitmap${id}},\n")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated from the PNG files in resources/ at build time; edit those, not this.
#include \"${HEADER}\"

namespace {

${body}const CResource kResources[] = {
${rows}};

}  // namespace

const CResourceTable& ${FUNCTION}() {
    static const CResourceTable table(kResources, sizeof kResources / sizeof kResources[0]);
    return table;
}
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
