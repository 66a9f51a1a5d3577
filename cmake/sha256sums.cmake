# cmake -DDIR=folder -DFILES=name,name,... -P sha256sums.cmake: writes
# DIR/SHA256SUMS, one line per file as sha256sum writes and checks them.
string(REPLACE "," ";" FILES "${FILES}")
set(lines "")
foreach(name IN LISTS FILES)
  file(SHA256 ${DIR}/${name} hash)
  string(APPEND lines "${hash}  ${name}\n")
endforeach()
file(WRITE ${DIR}/SHA256SUMS "${lines}")
