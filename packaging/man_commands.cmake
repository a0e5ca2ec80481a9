# Writes the help2man include file of a tool: a COMMANDS section with the --help of each of its
# commands, so the man page describes every option and not only the command names.
#   cmake -DTOOL=path -DCOMMANDS="list;search form;..." -DOUTPUT=file -P man_commands.cmake
set(text "[COMMANDS]\n")
foreach(command IN LISTS COMMANDS)
  separate_arguments(words UNIX_COMMAND "${command}")
  execute_process(COMMAND ${TOOL} ${words} --help
                  OUTPUT_VARIABLE help RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TOOL} ${command} --help failed: ${result}")
  endif()
  # roff: a backslash is written twice, and a line may not begin with a dot or a quote.
  string(REPLACE "\\" "\\\\" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  get_filename_component(name ${TOOL} NAME)
  string(APPEND text ".SS \"${name} ${command}\"\n.nf\n${help}.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")
