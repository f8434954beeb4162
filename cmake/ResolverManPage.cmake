# Writes the manual page of quillon-resolver with the options as the program's --help gives them, so that the
# two never differ: cmake -DPROGRAM=... -DINPUT=page.1.in -DOUTPUT=page.1 -DPROJECT_VERSION=... -P ResolverManPage.cmake
#
# --help lists each option from column 2, with its argument in capitals, and its description after it,
# continued on indented lines; an option too long for its column has its description on the following lines.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${result}")
endif()

# Running text: backslashes escaped, a line that would read as a request guarded.
function(roff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  if(text MATCHES "^[.']")
    set(text "\\&${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The lines as a list: semicolons in the text stand aside until the line is taken.
string(REPLACE ";" "<semicolon>" help "${help}")
string(REPLACE "\n" ";" lines "${help}")
set(options "")
set(in_options FALSE)
foreach(line IN LISTS lines)
  string(REPLACE "<semicolon>" ";" line "${line}")
  if(line STREQUAL "Options:")
    set(in_options TRUE)
    continue()
  endif()
  if(NOT in_options OR line STREQUAL "")
    continue()
  endif()
  set(description "")
  # An option line: the option, an argument in capitals if it takes one, and the start of its description,
  # unless the option is too long for its column and the description follows on the next lines.
  if(line MATCHES "^  (--[^ ]+)( ([A-Z0-9]+))?( +(.*))?$")
    set(name "${CMAKE_MATCH_1}")
    set(argument "${CMAKE_MATCH_3}")
    set(description "${CMAKE_MATCH_5}")
    # Option names are typed as they stand: their hyphens are minus signs.
    string(REPLACE "-" "\\-" name "${name}")
    string(APPEND options ".TP\n\\fB${name}\\fR")
    if(NOT argument STREQUAL "")
      string(APPEND options " \\fI${argument}\\fR")
    endif()
    string(APPEND options "\n")
  else()
    string(STRIP "${line}" description)
  endif()
  if(NOT description STREQUAL "")
    roff_text("${description}" description)
    string(APPEND options "${description}\n")
  endif()
endforeach()
if(options STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help lists no options")
endif()
string(STRIP "${options}" RESOLVER_OPTIONS)
configure_file(${INPUT} ${OUTPUT} @ONLY)
