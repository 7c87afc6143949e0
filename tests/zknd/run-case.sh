#!/usr/bin/env bash
# Runs one case of cases.txt: builds its data directory from the base one,
# runs zknd (through the emulator when one is given, as the Windows build's
# tests run zknd.exe under Wine) and compares the exit status and output.
#
#   run-case.sh CASES_FILE CASE ZKND [EMULATOR...]
#
# A case, in cases.txt:
#   case NAME                 starts it; the base data directory is made first
#   nd-row XML                a line added to the rows of NodeDetailDataEx.xml
#   fit-line XML              a line added inside the root of FitDataEx.xml
#   files GUID...             a drawing and a slide file for each GUID
#   file PATH TEXT            PATH, under the data directory, holds TEXT (printf %b)
#   rm PATH | mkdir PATH      what the names say
#   chmod MODE PATH           the same; the case's runs are then an unprivileged
#                             user's (nobody, when the tests run as root), and
#                             it is skipped (status 77) under Wine, whose
#                             files are the Linux user's
#   utf16 PATH                the file in UTF-16 with a byte-order mark
#   run STATUS ARGS...        runs zknd ARGS in the case's folder; the lines that
#                             follow are what it must write:
#   > LINE                    the next line of standard output, exactly
#   ~ REGEX                   the next line of standard output matches REGEX
#   2> LINE                   the next line of standard error, exactly
# Standard output must have no other line; standard error only when 2> lines
# are given. In PATH, LINE and REGEX, @ND@ and @FIT@ stand for the two library
# files and @RES@ for the resource folder (with a separator at its end), as
# zknd shows them for the data directory "data"; @ENOENT@ for the system's text
# of a missing file.
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
shown() { printf 'data%s%s' "$sep" "${1//\//$sep}"; }
nd_shown=$(shown "$res_rel/NodeDetailDataEx.xml")
fit_shown=$(shown "$fit_rel/FitDataEx.xml")
res_shown=$(shown "$res_rel/")

# Placeholders in expected text; in a regex the paths stand for themselves.
expand() {
  local text=$1 quote=${2:-}
  local nd=$nd_shown fit=$fit_shown res=$res_shown
  if [ -n "$quote" ]; then
    nd=$(printf '%s' "$nd" | sed 's/[][\.*^$()+?{}|]/\\&/g')
    fit=$(printf '%s' "$fit" | sed 's/[][\.*^$()+?{}|]/\\&/g')
    res=$(printf '%s' "$res" | sed 's/[][\.*^$()+?{}|]/\\&/g')
  fi
  text=${text//@ND@/$nd}
  text=${text//@FIT@/$fit}
  text=${text//@RES@/$res}
  text=${text//@ENOENT@/$enoent}
  printf '%s' "$text"
}

# The case's lines, without comments.
mapfile -t lines < <(awk -v name="$name" '
  /^case / { on = ($2 == name); next }
  on && !/^#/ && NF { print }' "$cases")
[ ${#lines[@]} -gt 0 ] || { echo "no case '$name' in $cases" >&2; exit 1; }

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
trap 'chmod -R u+rwX "$work"; rm -rf "$work"' EXIT
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

# A path of a fixture line: @ND@, @FIT@ and @RES@ under the data directory.
path_of() {
  local p=$1
  p=${p//@ND@/$res_rel/NodeDetailDataEx.xml}
  p=${p//@FIT@/$fit_rel/FitDataEx.xml}
  printf '%s' "${p//@RES@/$res_rel/}"
}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Compares what the last run wrote with what the case expects of it.
check_run() {
  local got_out got_err i
  mapfile -t got_out <"$work/out"
  mapfile -t got_err <"$work/err"
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
      got_err[i]=${got_err[i]%$'\r'}
      [ "${got_err[i]:-}" = "${err_lines[i]:-}" ] ||
        fail "standard error line $((i + 1)) is '${got_err[i]:-}', expected '${err_lines[i]:-}'"
    done
  fi
}

running=0
out_lines=()
err_lines=()
for line in "${lines[@]}" "run -"; do
  case $line in
    "nd-row "* | "fit-line "*) ;;
    "files "*) read -r -a guids <<<"${line#files }"; make_files "${guids[@]}" ;;
    "file "*)
      rest=${line#file }
      printf '%b' "${rest#* }" >"$data/$(path_of "${rest%% *}")" ;;
    "rm "*) rm -rf "$data/$(path_of "${line#rm }")" ;;
    "mkdir "*) mkdir -p "$data/$(path_of "${line#mkdir }")" ;;
    "chmod "*)
      read -r mode target <<<"${line#chmod }"
      chmod "$mode" "$data/$(path_of "$target")" ;;
    "utf16 "*)
      f="$data/$(path_of "${line#utf16 }")"
      { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$f"; } >"$f.16" && mv "$f.16" "$f" ;;
    "> "*) out_lines+=(">$(expand "${line:2}")") ;;
    "~ "*) out_lines+=("~$(expand "${line:2}" regex)") ;;
    ">") out_lines+=(">") ;;
    "2> "*) err_lines+=("$(expand "${line:3}")") ;;
    "run "*)
      if [ $running -eq 1 ]; then
        status=0
        (cd "$work" && "${as_user[@]}" "${emulator[@]}" "$zknd" "${args[@]}") >"$work/out" \
          2>"$work/err" || status=$?
        check_run
      fi
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
if [ $failures -ne 0 ]; then
  echo "case $name: $failures difference(s); the data directory was:" >&2
  (cd "$work" && find data -type f | sort) >&2
  exit 1
fi
echo "case $name: passed"
