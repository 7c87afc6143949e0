#!/usr/bin/env bash
# Runs one case of cases.txt: builds its data directory from the base one,
# runs zknd (through the emulator when one is given, as the Windows build's
# tests run zknd.exe under Wine) and compares the exit status and output.
#
#   run-case.sh CASES_FILE CASE ZKND [EMULATOR...]
#
# A case, in cases.txt:
#   case NAME                 starts it; the base data directory "data" is made
#                             first, in the case's own folder
#   nd-row XML                a line added to the rows of NodeDetailDataEx.xml
#   fit-line XML              a line added inside the root of FitDataEx.xml
#   files GUID...             a drawing and a slide file for each GUID
#   file PATH TEXT            PATH holds TEXT (printf %b)
#   bytes PATH N              PATH holds N random bytes
#   rm PATH | mkdir PATH      what the names say
#   copy PATH PATH            copies a file or a folder with all it holds, in
#                             place of what the second PATH was
#   newer PATH                PATH was written after every file made so far
#   link TARGET PATH          PATH is a symbolic link to TARGET (Linux only)
#   chmod MODE PATH           the same; the case's runs are then an unprivileged
#                             user's (nobody, when the tests run as root), and
#                             it is skipped (status 77) under Wine, whose
#                             files are the Linux user's
#   utf16 PATH                the file in UTF-16 with a byte-order mark
#   tmpfs PATH SIZE           PATH is a new file system of SIZE bytes (e.g.
#                             64k); the case is skipped where mounting is not
#                             permitted
#   read-only PATH            the folder PATH is mounted read-only on itself;
#                             skipped likewise
#   linux-only                the case is skipped under Wine: it needs a file
#                             system that tells letter case apart, or links
#   same PATH PATH            the two files hold the same bytes; a folder, the
#                             same files with the same bytes
#   exists PATH | absent PATH what the names say
#   run STATUS ARGS...        runs zknd ARGS in the case's folder; the lines that
#                             follow are what it must write:
#   > LINE                    the next line of standard output, exactly
#   ~ REGEX                   the next line of standard output matches REGEX
#   2> LINE                   the next line of standard error, exactly
#   2~ REGEX                  the next line of standard error matches REGEX
# Standard output must have no other line; standard error only when 2> or 2~
# lines are given. Lines other than those four run once the run before them
# has. A PATH is relative to the case's folder, and may be a pattern that
# names one file. In PATH, LINE and REGEX, @ND@ and @FIT@ stand for the two
# library files and @RES@ for the resource folder (with a separator at its
# end) of "data", and @ND:DIR@, @FIT:DIR@ and @RES:DIR@ for those of the data
# directory DIR, as zknd shows them; @/@ for the separator zknd shows;
# @ENOENT@ for the system's text of a missing file.
set -euo pipefail
export LC_ALL=C.UTF-8
cases=$1 name=$2 zknd=$(realpath "$3")
shift 3
emulator=("$@")

windows=0
[[ "$zknd" == *.exe ]] && windows=1
res_rel="Data/NodeDetail/节点图/成果库"
fit_rel="Data/NodeDetail/节点图/管件库"
if [ $windows -eq 1 ]; then
  # Wine's wording; Windows itself says "The system cannot find the file
  # specified".
  sep='\' enoent='File not found'
else
  sep='/' enoent='No such file or directory'
fi
# The part of a placeholder's path below its data directory.
below() {
  case $1 in
    ND) printf '%s' "$res_rel/NodeDetailDataEx.xml" ;;
    FIT) printf '%s' "$fit_rel/FitDataEx.xml" ;;
    RES) printf '%s/' "$res_rel" ;;
  esac
}

# Placeholders in expected text, as zknd shows the paths; in a regex the
# paths stand for themselves.
expand() {
  local text=$1 quote=${2:-} done='' kind dir path
  while [[ $text =~ @(ND|FIT|RES)(:([^@]+))?@ ]]; do
    kind=${BASH_REMATCH[1]} dir=${BASH_REMATCH[3]:-data}
    path=$(below "$kind")
    path="$dir$sep${path//\//$sep}"
    [ -z "$quote" ] || path=$(printf '%s' "$path" | sed 's/[][\.*^$()+?{}|]/\\&/g')
    done+=${text%%"${BASH_REMATCH[0]}"*}$path
    text=${text#*"${BASH_REMATCH[0]}"}
  done
  text=$done$text
  local shown_sep=$sep
  [ -z "$quote" ] || [ "$sep" != '\' ] || shown_sep='\\'
  text=${text//@\/@/$shown_sep}
  printf '%s' "${text//@ENOENT@/$enoent}"
}

# The case's lines, without comments.
mapfile -t lines < <(awk -v name="$name" '
  /^case / { on = ($2 == name); next }
  on && !/^#/ && NF { print }' "$cases")
[ ${#lines[@]} -gt 0 ] || { echo "no case '$name' in $cases" >&2; exit 1; }

if [ $windows -eq 1 ] && printf '%s\n' "${lines[@]}" | grep -q '^linux-only$'; then
  echo "case $name: skipped: Windows finds files whatever their letter case, and has no links"
  exit 77
fi

# A case that takes permissions away runs zknd as a user they bind.
as_user=()
if printf '%s\n' "${lines[@]}" | grep -q '^chmod '; then
  if [ $windows -eq 1 ]; then
    echo "case $name: skipped: Wine runs as the Linux user, who owns the files"
    exit 77
  elif [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null && id nobody >/dev/null 2>&1 ||
      { echo "case $name: skipped: no unprivileged user to run as"; exit 77; }
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
    # A build in a folder only root may enter (a mktemp -d) is out of reach.
    "${as_user[@]}" "$zknd" --version >/dev/null 2>&1 ||
      { echo "case $name: skipped: nobody cannot run $zknd"; exit 77; }
  fi
fi

work=$(mktemp -d)
mounts=()
cleanup() {
  local m
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
  chmod -R u+rwX "$work"
  rm -rf "$work"
}
trap cleanup EXIT
[ ${#as_user[@]} -eq 0 ] || chmod 755 "$work"
data=$work/data
mkdir -p "$data/$res_rel" "$data/$fit_rel"

# The base data directory: two node details with their files, one group of two
# fittings; then the case's own lines.
nd_rows=('  <NodeDetailResDataRow GuId="11111111-1111-1111-1111-111111111111" DisplayName="Pump" Description="泵基础" />'
         '  <NodeDetailResDataRow GuId="22222222-2222-2222-2222-222222222222" DisplayName="阀门井" Description="Valve pit" />')
fit_lines=('  <FitInfo FitType="1">'
           '    <FitRow GUID="33333333-3333-3333-3333-333333333333" BlockName="ELBOW90" Scale="1" DisplayName="Elbow 90" />'
           '    <FitRow GUID="44444444-4444-4444-4444-444444444444" BlockName="TEE" Scale="1" DisplayName="三通" />'
           '  </FitInfo>')
make_files() {
  for guid in "$@"; do
    printf 'drawing %s' "$guid" >"$data/$res_rel/$guid.dwg"
    printf 'slide %s' "$guid" >"$data/$res_rel/$guid.sld"
  done
}
make_files 11111111-1111-1111-1111-111111111111 22222222-2222-2222-2222-222222222222
for line in "${lines[@]}"; do
  case $line in
    "nd-row "*) nd_rows+=("  ${line#nd-row }") ;;
    "fit-line "*) fit_lines+=("  ${line#fit-line }") ;;
  esac
done
{
  echo '<?xml version="1.0"?>'
  echo '<NodeDetailResData>'
  printf '%s\n' "${nd_rows[@]}"
  echo '</NodeDetailResData>'
} >"$data/$res_rel/NodeDetailDataEx.xml"
{
  echo '<?xml version="1.0"?>'
  echo '<FitData>'
  printf '%s\n' "${fit_lines[@]}"
  echo '</FitData>'
} >"$data/$fit_rel/FitDataEx.xml"

# The path of a fixture line, in the case's folder: placeholders expanded,
# a pattern to the one file it names.
path_of() {
  local p=$1 done='' kind dir
  while [[ $p =~ @(ND|FIT|RES)(:([^@]+))?@ ]]; do
    kind=${BASH_REMATCH[1]} dir=${BASH_REMATCH[3]:-data}
    done+=${p%%"${BASH_REMATCH[0]}"*}$dir/$(below "$kind")
    p=${p#*"${BASH_REMATCH[0]}"}
  done
  p=$work/$done$p
  if [[ $p == *[*?]* ]]; then
    local found=()
    # shellcheck disable=SC2206
    found=($p)
    [ ${#found[@]} -eq 1 ] && [ -e "${found[0]}" ] && p=${found[0]}
  fi
  printf '%s' "$p"
}

# Mounts a file system at a folder of the case, or skips the case.
mount_or_skip() {
  local target=${*: -1}
  if [ "$(id -u)" -ne 0 ] || ! mount "$@" 2>/dev/null; then
    echo "case $name: skipped: mounting a file system is not permitted here"
    exit 77
  fi
  mounts=("$target" "${mounts[@]}")
}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Compares what the last run wrote with what the case expects of it.
check_run() {
  local got_out got_err i
  mapfile -t got_out <"$work/.out"
  mapfile -t got_err <"$work/.err"
  [ "$status" = "$expected_status" ] ||
    fail "zknd ${args[*]}: exit status $status, expected $expected_status"
  for ((i = 0; i < ${#out_lines[@]} || i < ${#got_out[@]}; ++i)); do
    local want=${out_lines[i]:-} got=${got_out[i]:-}
    got=${got%$'\r'}
    if [ $i -ge ${#got_out[@]} ]; then
      fail "zknd ${args[*]}: line $((i + 1)) missing, expected '${want:1}'"
    elif [ $i -ge ${#out_lines[@]} ]; then
      fail "zknd ${args[*]}: line $((i + 1)) not expected: '$got'"
    elif [ "${want:0:1}" = "~" ]; then
      [[ "$got" =~ ${want:1} ]] || fail "line $((i + 1)): '$got' does not match '${want:1}'"
    elif [ "$got" != "${want:1}" ]; then
      fail "zknd ${args[*]}: line $((i + 1)) is '$got', expected '${want:1}'"
    fi
  done
  if [ ${#err_lines[@]} -gt 0 ]; then
    for ((i = 0; i < ${#err_lines[@]} || i < ${#got_err[@]}; ++i)); do
      local want=${err_lines[i]:-} got=${got_err[i]:-}
      got=${got%$'\r'}
      if [ "${want:0:1}" = "~" ]; then
        [[ "$got" =~ ${want:1} ]] ||
          fail "standard error line $((i + 1)): '$got' does not match '${want:1}'"
      elif [ "$got" != "${want:1}" ]; then
        fail "standard error line $((i + 1)) is '$got', expected '${want:1}'"
      fi
    done
  fi
}

# Runs the run given last, if it has not run yet.
flush_run() {
  [ $running -eq 1 ] || return 0
  running=0
  status=0
  (cd "$work" && "${as_user[@]}" "${emulator[@]}" "$zknd" "${args[@]}") >"$work/.out" \
    2>"$work/.err" || status=$?
  check_run
}

# The two files, or folders, hold the same.
same() {
  if [ -d "$1" ]; then
    diff -r "$1" "$2" >/dev/null || fail "$1 and $2 differ: $(diff -rq "$1" "$2" | head -n 3)"
  else
    cmp -s "$1" "$2" || fail "$1 and $2 differ"
  fi
}

running=0
out_lines=()
err_lines=()
for line in "${lines[@]}"; do
  case $line in
    "> "*) out_lines+=(">$(expand "${line:2}")"); continue ;;
    "~ "*) out_lines+=("~$(expand "${line:2}" regex)"); continue ;;
    ">") out_lines+=(">"); continue ;;
    "2> "*) err_lines+=(">$(expand "${line:3}")"); continue ;;
    "2~ "*) err_lines+=("~$(expand "${line:3}" regex)"); continue ;;
  esac
  flush_run
  case $line in
    "nd-row "* | "fit-line "* | linux-only) ;;
    "files "*) read -r -a guids <<<"${line#files }"; make_files "${guids[@]}" ;;
    "file "*)
      rest=${line#file }
      printf '%b' "${rest#* }" >"$(path_of "${rest%% *}")" ;;
    "bytes "*)
      read -r target size <<<"${line#bytes }"
      head -c "$size" /dev/urandom >"$(path_of "$target")" ;;
    "rm "*) rm -rf "$(path_of "${line#rm }")" ;;
    "mkdir "*) mkdir -p "$(path_of "${line#mkdir }")" ;;
    "copy "*)
      read -r from to <<<"${line#copy }"
      rm -rf "$(path_of "$to")"
      cp -a "$(path_of "$from")" "$(path_of "$to")" ;;
    "newer "*)
      # Time stamps of some file systems count whole seconds.
      sleep 1.1
      touch "$(path_of "${line#newer }")" ;;
    "link "*)
      read -r target link <<<"${line#link }"
      ln -s "$target" "$(path_of "$link")" ;;
    "chmod "*)
      read -r mode target <<<"${line#chmod }"
      chmod "$mode" "$(path_of "$target")" ;;
    "utf16 "*)
      f=$(path_of "${line#utf16 }")
      { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$f"; } >"$f.16" && mv "$f.16" "$f" ;;
    "tmpfs "*)
      read -r target size <<<"${line#tmpfs }"
      mkdir -p "$(path_of "$target")"
      mount_or_skip -t tmpfs -o "size=$size" tmpfs "$(path_of "$target")" ;;
    "read-only "*)
      target=$(path_of "${line#read-only }")
      mount_or_skip --bind "$target" "$target"
      mount -o remount,bind,ro "$target" 2>/dev/null ||
        { echo "case $name: skipped: a read-only mount is not permitted here"; exit 77; } ;;
    "same "*)
      read -r a b <<<"${line#same }"
      same "$(path_of "$a")" "$(path_of "$b")" ;;
    "exists "*) [ -e "$(path_of "${line#exists }")" ] || fail "${line#exists } does not exist" ;;
    "absent "*) [ ! -e "$(path_of "${line#absent }")" ] || fail "${line#absent } exists" ;;
    "run "*)
      read -r -a words <<<"${line#run }"
      expected_status=${words[0]}
      args=("${words[@]:1}")
      running=1
      out_lines=()
      err_lines=()
      ;;
    *) echo "cases.txt: cannot read '$line'" >&2; exit 1 ;;
  esac
done
flush_run
if [ $failures -ne 0 ]; then
  echo "case $name: $failures difference(s); the data directory was:" >&2
  (cd "$work" && find . -path ./.out -prune -o -path ./.err -prune -o -type f -print | sort) >&2
  exit 1
fi
echo "case $name: passed"
