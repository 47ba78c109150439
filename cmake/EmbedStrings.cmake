# Turns the string tables into one C++ source, so every program carries its own copy and never
# depends on finding resource files at run time.
# Inputs: OUTPUT, LANGUAGES (comma-separated, shipping order), SOURCE_DIR.
string(REPLACE "," ";" LANGUAGES "${LANGUAGES}")
set(body "// Generated from resources/strings/*.json; do not edit.\n#include \"EmbeddedStrings.h\"\n\nnamespace tessera {\n\nstd::vector<EmbeddedStringTable> embeddedStringTables() {\n    return {\n")
foreach(lang IN LISTS LANGUAGES)
  file(READ "${SOURCE_DIR}/${lang}.json" text)
  string(FIND "${text}" ")tessera_strings\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${lang}.json contains the raw-string delimiter")
  endif()
  string(APPEND body "        {\"${lang}\", R\"tessera_strings(${text})tessera_strings\"},\n")
endforeach()
string(APPEND body "    };\n}\n\n} // namespace tessera\n")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
