# Writes one Windows archive (cmake -P): the programs PROGRAMS (|-separated),
# LICENSE.txt and README.txt with CR LF line ends, in sorted order, each dated
# SOURCE_DATE_EPOCH, so that one commit always gives the same bytes.
include("${CMAKE_CURRENT_LIST_DIR}/source-date-epoch.cmake")
set(stage "${ARCHIVE}.files")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}")

string(REPLACE "|" ";" programs "${PROGRAMS}")
file(COPY ${programs} DESTINATION "${stage}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Notepad before Windows 10 shows a text with bare line feeds as one line.
foreach(text IN ITEMS "LICENSE|LICENSE.txt" "packaging/windows-readme.txt|README.txt")
  string(REPLACE "|" ";" text "${text}")
  list(GET text 0 source)
  list(GET text 1 member)
  file(READ "${SOURCE_DIR}/${source}" content)
  string(REPLACE "\n" "\r\n" content "${content}")
  file(WRITE "${stage}/${member}" "${content}")
  file(CHMOD "${stage}/${member}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()

file(GLOB members RELATIVE "${stage}" "${stage}/*")
list(SORT members)
execute_process(COMMAND touch -d "@$ENV{SOURCE_DATE_EPOCH}" ${members}
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
# zip -X leaves out the owner and the access and change times, which differ
# from build to build; a zip's dates are local times, so the zone is fixed.
file(REMOVE "${ARCHIVE}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC0 "${ZIP}" -q -X -D "${ARCHIVE}" ${members}
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
