#!/usr/bin/env bash
# The version flag, and the man page, bash completion and README reference
# against what --help lists: every command, positional argument and option
# that --help shows must be in the man page and be offered by the completion.
#   check-reference.sh BIN_DIR SOURCE_DIR SCRATCH
set -euo pipefail
bin=$1 source=$2 scratch=$3
pw=$bin/packwell
rm -rf "$scratch"
mkdir -p "$scratch"
fail() { echo "FAIL: $*" >&2; exit 1; }

# --version is the version command, and both say the version of project().
version=$(sed -n 's/^project(Packwell VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
flag=$("$pw" --version) || fail "--version exited $?"
cmd=$("$pw" version) || fail "version exited $?"
[ "$flag" = "$cmd" ] || fail "--version and version differ: '$flag' / '$cmd'"
[ "$(head -n1 <<<"$flag")" = "packwell $version" ] || fail "--version says '$flag', project() says $version"
# Without the version library beside it (and none installed), both fail.
mkdir "$scratch/alone"
cp "$pw" "$scratch/alone/"
for args in --version version; do
  status=0
  env -u PACKWELL_ENGINE_DIR "$scratch/alone/packwell" $args >/dev/null 2>"$scratch/err" || status=$?
  [ $status = 1 ] || fail "$args without the version library exited $status"
  grep -q 'version library' "$scratch/err" || fail "$args without the version library: $(cat "$scratch/err")"
done
status=0
"$pw" --reference roff >/dev/null 2>&1 || status=$?
[ $status = 2 ] || fail "--reference with an unknown format exited $status"

"$pw" --reference man >"$scratch/packwell.1"
"$pw" --reference bash >"$scratch/completion"
warnings=$(groff -man -ww -z -Tutf8 "$scratch/packwell.1" 2>&1)
[ -z "$warnings" ] || fail "the man page has roff warnings: $warnings"

# What --help lists under one heading ("Subcommands:", "Options:",
# "Positionals:"): the first word of each entry line.
help_entries() {
  "$pw" $1 --help | awk -v heading="$2:" '
    $0 == heading { on = 1; next }
    on && /^$/ { on = 0 }
    on && /^  [^ ]/ { print $1 }'
}
roff_escaped() { sed 's/-/\\-/g' <<<"$1"; }

# The completion function, called as bash calls it for the words given (the
# last word is the one being completed); prints the offers sorted.
complete_words() {
  (cd "$scratch/files" && bash -c '
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _packwell
    printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$scratch/completion" "$@")
}

mkdir -p "$scratch/files/dir"
touch "$scratch/files/a.zip" "$scratch/files/b.001" "$scratch/files/c.txt"

# The entries (.TP tags) of the man page, each with the section it is in.
awk '/^\.SS "/ { section = $0 } previous == ".TP" { print section "\t" $0 } { previous = $0 }' \
  "$scratch/packwell.1" >"$scratch/entries"
man_has_entry() {  # $1: the command path, $2: the tag text
  # Through the environment: awk -v would read the backslashes as escapes.
  SECTION=$([ -z "$1" ] || echo ".SS \"$(roff_escaped "packwell $1") ") TAG=$2 awk -F'\t' '
    BEGIN { section = ENVIRON["SECTION"]; tag = ENVIRON["TAG"] }
    (section == "" ? $1 == "" : index($1, section) == 1) && index($2, tag) { found = 1 }
    END { exit !found }' "$scratch/entries"
}

commands=0
check_command() {  # $1: the command path ("" for the program itself)
  local path=$1 subs entry name
  subs=$(help_entries "$path" Subcommands)
  if [ -n "$path" ]; then
    grep -qF ".SS \"$(roff_escaped "packwell $path") " "$scratch/packwell.1" ||
      fail "the man page has no section for '$path'"
    commands=$((commands + 1))
  fi
  # Each option and positional is an entry of the command's own section
  # (-h,--help once, in the program's).
  for entry in $(help_entries "$path" Options); do
    [ -n "$path" ] && [ "$entry" = -h,--help ] && continue
    man_has_entry "$path" "\\fB$(roff_escaped "$entry")\\fR" || fail "the man page lacks $entry of '$path'"
  done
  for entry in $(help_entries "$path" Positionals); do
    man_has_entry "$path" "\\fI$(roff_escaped "$entry")\\fR" || fail "the man page lacks $entry of '$path'"
  done
  for entry in $(help_entries "$path" Options); do
    for name in ${entry//,/ }; do
      complete_words packwell $path "$name" | grep -xF -- "$name" >/dev/null || fail "completion does not offer $name for '$path'"
    done
  done
  if [ -n "$subs" ]; then
    [ "$(complete_words packwell $path '')" = "$(sort <<<"$subs")" ] ||
      fail "completion of '$path' offers $(complete_words packwell $path '' | tr '\n' ' ') instead of its commands"
    for entry in $subs; do check_command "${path:+$path }$entry"; done
  fi
}
check_command ""
[ $commands -ge 10 ] || fail "only $commands commands found in --help"

# Arguments complete by what they take.
[ "$(complete_words packwell unzip '')" = "$(printf 'a.zip\ndir')" ] || fail "unzip ARCHIVE offers $(complete_words packwell unzip '')"
[ "$(complete_words packwell unzip a.zip '')" = "dir" ] || fail "unzip FOLDER offers $(complete_words packwell unzip a.zip '')"
[ "$(complete_words packwell join '')" = "$(printf 'b.001\ndir')" ] || fail "join offers $(complete_words packwell join '')"
[ "$(complete_words packwell unzip --answer '')" = "$(printf 'all\nno\nnone\nyes')" ] || fail "--answer offers $(complete_words packwell unzip --answer '')"
[ "$(complete_words packwell unzip --answer all '')" = "$(printf 'a.zip\ndir')" ] || fail "an option's value is taken for ARCHIVE"
# The README's reference is the program's, and a stale one is caught.
PACKWELL_BUILD_DIR=$bin/.. "$source/scripts/readme-reference" --check
sed 's/^Usage: packwell zip /Usage: packwell zap /' "$source/README.md" >"$scratch/README.md"
status=0
PACKWELL_README=$scratch/README.md PACKWELL_BUILD_DIR=$bin/.. "$source/scripts/readme-reference" --check \
  >/dev/null 2>&1 || status=$?
[ $status = 1 ] || fail "a stale README reference passed the check (status $status)"
echo "reference ok: $commands commands"
