# Writes the service worker into the built site: the list of the site's files, and a version that is a
# hash of their contents, so that a new build gives browsers a new sw.js and the new files.
#   cmake -DSITE=<site dir> -DSOURCE=<web/sw.js> -P offline.cmake
file(GLOB_RECURSE names RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM names sw.js)
list(SORT names)
set(sums "")
set(quoted "")
foreach(name IN LISTS names)
  file(SHA256 ${SITE}/${name} sum)
  string(APPEND sums "${name} ${sum}\n")
  list(APPEND quoted "'${name}'")
endforeach()
list(JOIN quoted ", " FILES)
string(SHA256 VERSION "${sums}")
string(SUBSTRING ${VERSION} 0 16 VERSION)
configure_file(${SOURCE} ${SITE}/sw.js @ONLY)
