# Writes the package for learning platforms: the site but its offline worker (the platform serves the
# package, and a worker would keep stale copies on the platform's own address), imsmanifest.xml at its
# root listing every other file, all zipped by CMake itself.
#   cmake -DSITE=<site dir> -DSTAGE=<work dir> -DOUT=<zip> -DTEMPLATE=<web/imsmanifest.xml>
#         -DTABLE=<data/lang/fr.txt> -DLAUNCH=<what follows index.html, or nothing> -P scorm.cmake
# The title is the table's manifest.name: the course's platform shows it.
file(REMOVE_RECURSE ${STAGE})
file(COPY ${SITE}/ DESTINATION ${STAGE})
file(REMOVE ${STAGE}/sw.js)
file(GLOB_RECURSE names RELATIVE ${STAGE} ${STAGE}/*)
list(SORT names)

function(xml text out)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(STRINGS ${TABLE} title ENCODING UTF-8 REGEX "^manifest\\.name = ")
string(REGEX REPLACE "^manifest\\.name = " "" title "${title}")
xml("${title}" TITLE)
set(PARAMETERS "")
if(LAUNCH)
  xml("${LAUNCH}" launch)
  set(PARAMETERS " parameters=\"${launch}\"")
endif()
# The version: a hash of the files, so that a platform can tell one build's package from another's.
set(sums "")
set(FILES "")
foreach(name IN LISTS names)
  file(SHA256 ${STAGE}/${name} sum)
  string(APPEND sums "${name} ${sum}\n")
  xml("${name}" href)
  string(APPEND FILES "      <file href=\"${href}\"/>\n")
endforeach()
string(SHA256 VERSION "${sums}${LAUNCH}")
string(SUBSTRING ${VERSION} 0 16 VERSION)
string(REGEX REPLACE "\n$" "" FILES "${FILES}")
configure_file(${TEMPLATE} ${STAGE}/imsmanifest.xml @ONLY)

file(REMOVE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT} --format=zip -- imsmanifest.xml ${names}
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "scorm.cmake: could not write ${OUT}")
endif()
