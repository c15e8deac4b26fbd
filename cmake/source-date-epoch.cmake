# The time written into the package and the Windows archives: that of the last
# commit, so that one commit gives the same bytes wherever and whenever it is built.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${CMAKE_CURRENT_LIST_DIR}/.." log -1 --format=%ct
    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE git_failed)
  if(git_failed OR NOT commit_time MATCHES "^[0-9]+$")
    # A copy of the sources outside git: the release date in packaging/changelog.
    set(commit_time 1796731200)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
endif()
