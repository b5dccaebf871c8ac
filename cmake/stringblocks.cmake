# Writes the string table as raw string blocks, each entry with its own
# terminator counted in its length, so that a pointer into the loaded
# resource is a ready C string (a STRINGTABLE of the handheld's windres
# loses an entry's trailing "\0").
#
#   cmake -DSTRINGS=strings.txt -DIDS=resource.h -DOUTPUT=stringblocks.rc -P stringblocks.cmake
#
# A block n holds the 16 entries with ids 16 (n - 1) to 16 n - 1; an absent
# entry has length 0. Texts are plain ASCII: an entry's length counts UTF-16
# units, and the resource compilers of the two builds read the file in
# different code pages, so a line with any other character is refused with
# its number.
file(STRINGS ${IDS} id_lines REGEX "^#define[ \t]+IDS_[A-Z0-9_]+[ \t]+[0-9]+")
foreach(line IN LISTS id_lines)
  string(REGEX REPLACE "^#define[ \t]+(IDS_[A-Z0-9_]+)[ \t]+([0-9]+).*" "\\1;\\2" pair "${line}")
  list(GET pair 0 name)
  list(GET pair 1 number)
  set(id_${name} ${number})
endforeach()

# Stops the build with `why`, naming the line of strings.txt that `line`
# is (read whole, so that a line with other characters is not cut short).
file(READ ${STRINGS} strings_text)
function(refuse line why)
  string(FIND "${strings_text}" "${line}" at)
  string(SUBSTRING "${strings_text}" 0 ${at} before)
  string(REGEX MATCHALL "\n" breaks "${before}")
  list(LENGTH breaks number)
  math(EXPR number "${number} + 1")
  message(FATAL_ERROR "${STRINGS}:${number}: ${why}: ${line}")
endfunction()

set(blocks "")
file(STRINGS ${STRINGS} string_lines ENCODING UTF-8 REGEX "^IDS_")
foreach(line IN LISTS string_lines)
  if(line MATCHES "[^\t -~]")
    refuse("${line}" "only ASCII characters are supported")
  endif()
  string(REGEX MATCH "^(IDS_[A-Z0-9_]+)[ \t]+\"(.*)\"$" matched "${line}")
  if(NOT matched)
    refuse("${line}" "not an entry")
  endif()
  set(name ${CMAKE_MATCH_1})
  set(text "${CMAKE_MATCH_2}")
  if(NOT DEFINED id_${name})
    refuse("${line}" "${name} has no id in ${IDS}")
  endif()
  if(text MATCHES "[\"\\\\]")
    refuse("${line}" "quotes and backslashes are not supported")
  endif()
  math(EXPR block "${id_${name}} / 16 + 1")
  math(EXPR slot "${id_${name}} % 16")
  if(DEFINED entry_${block}_${slot})
    refuse("${line}" "id ${id_${name}} given twice")
  endif()
  string(LENGTH "${text}" length)
  math(EXPR length "${length} + 1")
  set(entry_${block}_${slot} "${length}, L\"${text}\\0\"")
  list(APPEND blocks ${block})
endforeach()
list(REMOVE_DUPLICATES blocks)

set(out "// Generated from strings.txt by cmake/stringblocks.cmake.\n")
foreach(block IN LISTS blocks)
  string(APPEND out "${block} 6\nBEGIN\n")
  foreach(slot RANGE 15)
    if(DEFINED entry_${block}_${slot})
      string(APPEND out "    ${entry_${block}_${slot}},\n")
    else()
      string(APPEND out "    0,\n")
    endif()
  endforeach()
  string(REGEX REPLACE ",\n$" "\n" out "${out}")
  string(APPEND out "END\n")
endforeach()
file(WRITE ${OUTPUT}.new "${out}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
