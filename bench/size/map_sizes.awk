# Sums the input sections of a GNU ld map (-Wl,-Map) by the file or archive
# member they come from, for the output sections that take room in the exe
# (code, data, read-only data, unwind tables, imports, CRT and TLS).
# Prints "BYTES<TAB>FILE" lines.
function hex(s,   i, v) {
  v = 0; s = tolower(s); sub(/^0x/, "", s)
  for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
  return v
}
function add(size, file,   n) {
  if (outsec !~ /^\.(text|data|rdata|pdata|xdata|idata|CRT|tls)$/) return
  n = hex(size)
  if (n > 0) bytes[file] += n
}
/^Linker script and memory map/ { go = 1; next }
!go { next }
/^\.[^ ]+/ { outsec = $1; pending = ""; next }
/^ [^ ]+ +0x[0-9a-f]+ +0x[0-9a-f]+ +[^ ]/ { add($3, $4); pending = ""; next }
/^ [^ ]+$/ { pending = $1; next }
pending != "" && /^ +0x[0-9a-f]+ +0x[0-9a-f]+ +[^ ]/ { add($2, $3); pending = ""; next }
{ pending = "" }
END { for (f in bytes) printf "%d\t%s\n", bytes[f], f }
