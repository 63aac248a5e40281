# Prints the command words of shell scripts: the first word of a line or
# after | ; & ( $( ` and the words that run another command. Here-documents,
# comments and quoted text (but for a command substitution in double quotes)
# are left out, and so are the functions the scripts define.
function unquoted(s,    out, i, c) {
  out = ""
  for (i = 1; i <= length(s); i++) {
    c = substr(s, i, 1)
    if (q == "'") { if (c == "'") q = ""; continue }
    if (c == "\\") { i++; continue }
    if (q == "\"" && depth == 0) {
      if (c == "\"") q = ""
      else if (substr(s, i, 2) == "$(") { depth = 1; out = out "$("; i++ }
      continue
    }
    if (depth > 0) { if (c == "(") depth++; else if (c == ")" && --depth == 0) { out = out ")"; continue } }
    if (q == "" && c == "'") { q = "'"; continue }
    if (q == "" && depth == 0 && c == "\"") { q = "\""; continue }
    if (q == "" && depth == 0 && c == "#" && (i == 1 || substr(s, i - 1, 1) ~ /[[:space:]]/)) break
    out = out c
  }
  return out
}
FNR == 1 { q = ""; depth = 0; heredoc = "" }
heredoc != "" { line = $0; sub(/^[[:space:]]+/, "", line); if (line == heredoc) heredoc = ""; next }
{
  line = unquoted($0)
  if (match(line, /<<-?[[:space:]]*[A-Za-z_]+/)) {
    heredoc = substr(line, RSTART, RLENGTH); gsub(/[<[:space:]-]/, "", heredoc)
    if (heredoc == "") heredoc = ""
  } else if (match($0, /<<-?[[:space:]]*'[A-Za-z_]+'/)) {
    heredoc = substr($0, RSTART, RLENGTH); gsub(/[<'[:space:]-]/, "", heredoc)
  }
  if (match(line, /^[[:space:]]*(function[[:space:]]+)?[A-Za-z_][A-Za-z0-9_]*[[:space:]]*\(\)/)) {
    f = substr(line, RSTART, RLENGTH); sub(/^[[:space:]]*(function[[:space:]]+)?/, "", f); sub(/[[:space:]]*\(\).*/, "", f)
    defined[f] = 1
    line = substr(line, RSTART + RLENGTH)
  }
  gsub(/\$\(|`|&&|\|\||[|;&(){}!]/, "\n", line)
  n = split(line, parts, "\n")
  for (i = 1; i <= n; i++) {
    w = split(parts[i], words, /[[:space:]]+/)
    for (j = 1; j <= w; j++) {
      word = words[j]
      if (word == "" || word ~ /=/ || word ~ /^(then|do|else|elif|exec|time|command|env|timeout|nice|if|while|until|[0-9.]+[smh]?|-[a-z-]+)$/) continue
      if (word ~ /^[a-z][a-z0-9_.+-]*$/) used[word] = 1
      break
    }
  }
}
END { for (w in used) if (!(w in defined)) print w }
