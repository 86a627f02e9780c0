# krn_string_table_text(OUT_VAR TABLE KEY LANGUAGE)
# The value of KEY for one language code (EN, TW, HE, ...) in the string-table file TABLE, read
# at configure time, so that the launcher and the metainfo show the texts the program shows.
# Empty when the key or the language is missing. "%%" becomes "%"; the escapes \\ \t \r \n stay
# as written, which is also how a desktop entry writes them.
function(krn_string_table_text out_var table key language)
  file(STRINGS "${table}" lines ENCODING UTF-8)
  set(in_section FALSE)
  set(value "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^\\[(.*)\\]$")
      string(COMPARE EQUAL "${CMAKE_MATCH_1}" "${key}" in_section)
    elseif(in_section AND line MATCHES "^${language}=(.*)$")
      set(value "${CMAKE_MATCH_1}")
      break()
    endif()
  endforeach()
  string(REPLACE "%%" "%" value "${value}")
  set(${out_var} "${value}" PARENT_SCOPE)
endfunction()
