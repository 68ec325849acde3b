# Reading busview-report --detailed output in the guest's scripts. Sourced.

# The device displays of a busview-report --detailed output, one a line,
# but the one that begins with HEADER.
displays_without() { # FILE HEADER
  python3 - "$1" "$2" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
for block in text.split("\n\n"):
    block = block.strip("\n")
    if block.startswith("HostNo ") and not block.startswith(sys.argv[2] + "\n"):
        print(block.replace("\n", " | "))
PY
}

# The display that begins with HEADER.
display_of() { # FILE HEADER
  python3 - "$1" "$2" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
for block in text.split("\n\n"):
    if block.startswith(sys.argv[2] + "\n"):
        print(block.strip("\n"))
PY
}
