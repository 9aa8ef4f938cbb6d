# Sourced by release.sh and kit.sh, which each define `usage` and `root`: the
# shell's side of release_folder.py, which holds the rules of the folder a
# release is made in.

python=/usr/bin/python3
# The folder is decided with Debian's Python, which a fresh host may lack.
[ -x $python ] || bash "$root/scripts/setup.sh"

# Reads the arguments, [--] [FOLDER], into `named` ("" when none is given).
# --help prints the usage and ends; an unknown option, an empty FOLDER or more
# than one print it and end with status 2. "--" ends the options.
#   quillane_read_folder_argument SCRIPT "$@"
quillane_read_folder_argument() {
  local script=$1
  shift
  while [ $# -gt 0 ]; do
    case $1 in
      --help | -h) usage; exit 0 ;;
      --) shift; break ;;
      -*) { echo "$script: unknown option '$1'"; usage; } >&2; exit 2 ;;
      *) break ;;
    esac
  done
  case $# in
    0) named="" ;;
    1) named=$1
       if [ -z "$named" ]; then { echo "$script: FOLDER is empty"; usage; } >&2; exit 2; fi ;;
    *) usage >&2; exit 2 ;;
  esac
}

# Decides, before anything is built, whether the folder the user named may
# take a release; ends the script, saying why, if not. Sets `folder`, and
# `staging`, the folder inside it where the new files go (in staging/new),
# which is removed, with the folders made for it, if the script fails.
#   quillane_prepare_folder SCRIPT
quillane_prepare_folder() {
  staging="" made=""
  quillane_prepared=$(mktemp)
  trap 'rm -f "$quillane_prepared"; [ -z "$staging" ] || $python "$root/scripts/release_folder.py" abandon "$staging" "$made"' EXIT
  $python "$root/scripts/release_folder.py" prepare "$1" "$named" >"$quillane_prepared" || exit 1
  # NUL-ended texts, read from a file: a variable holds no NUL.
  { IFS= read -r -d '' folder && IFS= read -r -d '' staging && IFS= read -r -d '' made; } <"$quillane_prepared"
  # Held for as long as the script runs: another script that finds the
  # staging folder knows that it is at work, whatever its process is called.
  exec 9<>"$staging/lock"
  flock -n 9
}

# Puts the files of staging/new in the folder, in place of an earlier release.
#   quillane_put_folder SCRIPT
quillane_put_folder() {
  local status=0
  $python "$root/scripts/release_folder.py" put "$1" "$staging" || status=$?
  # Status 3: the earlier release could not be put back, and is kept in the
  # staging folder, which must then stay.
  [ $status = 0 ] || { [ $status != 3 ] || staging=""; exit 1; }
  staging=""
}
