# Renders one manual page as HTML for the Windows zip:
#   cmake -DGROFF=groff -DPAGE=build/man/varnel.1 -DHTML=varnel.html -P render_manual.cmake
# groff's HTML leaves out the page header, so the version and date of the .TH line are put under
# the title; its creation-time comment is dropped, so the same page always gives the same bytes.
execute_process(COMMAND ${GROFF} -man -Thtml ${PAGE}
  OUTPUT_VARIABLE html ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
  message(FATAL_ERROR "groff -man -Thtml ${PAGE} failed (${status}):\n${errors}")
endif()

file(STRINGS ${PAGE} th REGEX "^\\.TH " LIMIT_COUNT 1)
# .TH NAME SECTION "date" "source" "manual"
if(NOT th MATCHES "^\\.TH [^ ]+ [^ ]+ \"([^\"]*)\" \"([^\"]*)\"")
  message(FATAL_ERROR "${PAGE}: no .TH line with a date and a source")
endif()
set(source_line "<p align=\"center\">${CMAKE_MATCH_2}, ${CMAKE_MATCH_1}</p>")

string(REGEX REPLACE "<!-- CreationDate: [^\n]*-->\n" "" html "${html}")
string(REGEX REPLACE "(<h1 [^\n]*</h1>\n)" "\\1${source_line}\n" html "${html}")
file(WRITE ${HTML} "${html}")
