#!/usr/bin/python3
"""The folder a release is made in, for release.sh and kit.sh: one place for
what a release is, which folders may take one, and how an earlier one is
replaced.

A release is QuillaneConfig-<version>.zip with SHA256SUMS, the zip's SHA-256 in
sha256sum's form, beside it; kit.sh adds QuillaneConfig-<version>-test-kit.zip,
which holds that zip and that SHA256SUMS byte for byte. A folder may take a
release when it is new, empty, or holds nothing but an earlier release (with
its kit or without), which the new one then replaces. Anything else is the
user's: it is never touched, and the script stops before it builds anything.

The new release is made in a staging folder inside the folder itself, so that
the folder is known to be writable before anything is built, and every file is
put in place by a rename. The earlier release stays until the new one is
complete; if putting it in place fails, the earlier release is put back: the
folder holds one or the other, never neither. The folder itself is never
replaced, so it keeps its own mode, owner and group. A staging folder that a
script killed on the way left behind is cleared by the next one, which first
puts back the earlier release it was replacing.

It also writes the zips, release.sh's and kit.sh's alike: each entry dated by
the sources (SOURCE_DATE_EPOCH), marked as made on Windows, compressed the same
way, so that the same sources give the same bytes.

    release_folder.py prepare SCRIPT FOLDER
        run from where the user stands, FOLDER as the user named it ("" for
        dist/ in the project). Decides whether FOLDER may take a release: if
        not, says why in one line and fails. Else makes the folders that are
        not there, and a staging folder in FOLDER, and prints three texts,
        each ended by a NUL: the folder, the staging folder, and the first
        folder made ("" if none). The new release goes in STAGING/new.
    release_folder.py put SCRIPT STAGING
        puts every file of STAGING/new into the folder, in place of the
        earlier release, and removes STAGING; fails, saying why in one line
        and leaving the folder as it was, when the folder has changed since
        it was prepared or a file cannot be put in place. Fails with status 3
        if the earlier release could not even be put back: it is then kept in
        STAGING/earlier, which must not be removed.
    release_folder.py abandon STAGING MADE
        removes STAGING, and MADE with the folders under it that lead to
        STAGING, if they are empty: what a release that failed leaves.
    release_folder.py sums ZIP
        prints SHA256SUMS for the release zip ZIP.
    release_folder.py verify FOLDER
        succeeds when FOLDER holds exactly a release (and perhaps its kit),
        and prints the release zip's name; else says why in one line.
"""

import fcntl
import hashlib
import json
import os
import re
import shutil
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RELEASE = re.compile(r"QuillaneConfig-([0-9]+\.[0-9]+\.[0-9]+\.[0-9]+)\.zip")
KIT = re.compile(r"QuillaneConfig-([0-9]+\.[0-9]+\.[0-9]+\.[0-9]+)-test-kit\.zip")
SUMS = "SHA256SUMS"
STAGING_PREFIX = ".QuillaneConfig-staging-"
DONE_PREFIX = ".QuillaneConfig-done-"
# The names tempfile gives, after a prefix.
MADE_HERE = re.compile(r"\.QuillaneConfig-(staging|done)-[a-z0-9_]{8}")


def kit_name(version):
    return "QuillaneConfig-%s-test-kit.zip" % version


class Refusal(Exception):
    """Why a folder is not one to write in: one line for the user."""

    status = 1


class EarlierKeptAside(Refusal):
    status = 3


def sha256(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def sums_line(zip_name, digest):
    return "%s  %s\n" % (digest, zip_name)


def release_in(folder, entries):
    """The names of the release in `folder`, whose entries are `entries`, if
    that is all it holds; else None."""
    zips = [name for name in entries if RELEASE.fullmatch(name)]
    if len(zips) != 1 or SUMS not in entries:
        return None
    zip_name = zips[0]
    kit = kit_name(RELEASE.fullmatch(zip_name).group(1))
    names = {zip_name, SUMS} | ({kit} if kit in entries else set())
    if set(entries) != names:
        return None
    paths = {name: os.path.join(folder, name) for name in names}
    if any(os.path.islink(path) or not os.path.isfile(path) for path in paths.values()):
        return None
    with open(paths[SUMS], "rb") as file:
        sums = file.read()
    if sums != sums_line(zip_name, sha256(paths[zip_name])).encode():
        return None
    if kit in names and not kit_holds(paths[kit], zip_name, paths[zip_name], sums):
        return None
    return sorted(names)


def kit_holds(kit, zip_name, zip_path, sums):
    """Whether the kit holds this very release: its zip and SHA256SUMS."""
    try:
        with zipfile.ZipFile(kit) as archive, open(zip_path, "rb") as released:
            return archive.read(SUMS) == sums and archive.read(zip_name) == released.read()
    except (OSError, KeyError, zipfile.BadZipFile):
        return False


def listing(folder, leave_out=()):
    return sorted(name for name in os.listdir(folder) if name not in leave_out)


def windows_text(data, title=None):
    """A text with Windows line ends; with `title`, its first two lines are
    that title and its underline."""
    lines = data.replace(b"\r\n", b"\n").split(b"\n")
    if title is not None:
        lines[0:2] = [title, b"=" * len(title)]
    return b"\r\n".join(lines)


def write_zip(archive, entries):
    """A zip of `entries`, (name, bytes) in that order, dated by the sources."""
    when = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
    with zipfile.ZipFile(archive, "w") as made:
        for name, data in entries:
            entry = zipfile.ZipInfo(name, date_time=when)
            entry.create_system, entry.external_attr = 0, 0x20  # made on Windows; attribute "archive"
            made.writestr(entry, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)


def at_work(staging, record):
    """Whether the script that made `staging` may still be at work: its
    process is there (whatever its name, or another's that took its number:
    then it is left alone all the same), or the lock it holds is taken."""
    pid = record.get("pid")
    if isinstance(pid, int) and pid > 0:
        try:
            os.kill(pid, 0)
            return True
        except ProcessLookupError:
            pass
        except OSError:
            return True
    try:
        with open(os.path.join(staging, "lock"), "rb") as lock:
            try:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            except OSError:
                return True
    except FileNotFoundError:
        pass
    return False


def record_of(staging, name):
    """The record a staging folder of ours holds, {name: SHA-256}, or None."""
    try:
        with open(os.path.join(staging, name)) as file:
            record = json.load(file)
    except (OSError, ValueError):
        return None
    if not isinstance(record, dict):
        return None
    files = record.get("earlier" if name == "earlier.json" else "new")
    if not isinstance(files, dict) or not all(isinstance(k, str) and isinstance(v, str) for k, v in files.items()):
        return None
    return record


def clear_leftovers(script, folder, entries):
    """Clears what a release script killed on the way left in `folder`, once
    it is known to be gone: its staging folder, after putting back the
    earlier release it was replacing. Only when every other file there is one
    of the two releases that its records name by SHA-256: anything else is the
    user's, and the folder is then refused as it is, untouched. Gives the
    entries left."""
    leftovers = [name for name in entries if MADE_HERE.fullmatch(name) and os.path.isdir(os.path.join(folder, name))
                 and not os.path.islink(os.path.join(folder, name))]
    others = [name for name in entries if name not in leftovers]
    for name in leftovers:
        staging = os.path.join(folder, name)
        if name.startswith(DONE_PREFIX):
            # A release put in place whole, whose staging folder was being removed.
            shutil.rmtree(staging)
            continue
        earlier = record_of(staging, "earlier.json")
        if earlier is None:
            return entries  # not one of ours: the user's
        if at_work(staging, earlier):
            raise Refusal("%s: another release is being made in %s now (process %s, or what it started); wait for "
                          "it to end" % (script, folder, earlier.get("pid")))
        placing = record_of(staging, "placing.json")
        earlier_files, new_files = earlier["earlier"], placing["new"] if placing else {}
        held = {other: sha256(os.path.join(folder, other)) for other in others
                if os.path.isfile(os.path.join(folder, other)) and not os.path.islink(os.path.join(folder, other))}
        if len(held) != len(others) or any(digest not in (earlier_files.get(other), new_files.get(other))
                                           for other, digest in held.items()):
            return entries  # the folder holds something of the user's
        # The earlier release back in place, each file only from a whole copy.
        kept = os.path.join(staging, "earlier")
        for kept_name, digest in earlier_files.items():
            if held.get(kept_name) == digest:
                continue
            copy = os.path.join(kept, kept_name)
            if not os.path.isfile(copy) or sha256(copy) != digest:
                raise Refusal("%s: a release script ended on the way in %s and its earlier release cannot be put back "
                              "whole from %s; take what you need from there, then remove it" % (script, folder, kept))
            os.replace(copy, os.path.join(folder, kept_name))
        for other in held:
            if other not in earlier_files:
                os.remove(os.path.join(folder, other))
        shutil.rmtree(staging)
        others = listing(folder, leave_out=leftovers)
        print("%s: a release script ended on the way in %s; what it left is cleared%s"
              % (script, folder, ", and the earlier release is back" if earlier_files else ""), file=sys.stderr)
    return listing(folder)


def resolve(script, named):
    """The folder the user named, from where they stand: (the folders that
    are there, the names under them that are not)."""
    path = named or os.path.join(ROOT, "dist")
    path = re.sub("/+", "/", path)
    if len(path) > 1:
        path = path.rstrip("/")
    path = os.path.join(os.getcwd(), path)
    there, missing = path, []
    while not os.path.lexists(there):
        there, name = os.path.split(there)
        missing.insert(0, name)
    if any(name in (".", "..") for name in missing):
        raise Refusal("%s: %s names . or .. under a folder that is not there (%s); name the folder plainly"
                      % (script, named, os.path.join(there, missing[0])))
    if not os.path.isdir(there):
        raise Refusal("%s: %s is not a folder; name a folder that is new, empty or holds an earlier release"
                      % (script, there if missing else named))
    return os.path.realpath(there), missing


def prepare(script, named):
    there, missing = resolve(script, named)
    shown = named or "dist/"
    earlier = []
    if not missing:
        entries = clear_leftovers(script, there, listing(there))
        if entries:
            earlier = release_in(there, entries)
            if earlier is None:
                held = " ".join(entries)
                raise Refusal("%s: %s holds files that are not an earlier release of QuillaneConfig (%s); it is left "
                              "as it is: name a folder that is new or empty" % (script, shown, held[:200]))
    folder, made = there, ""
    try:
        for name in missing:
            folder = os.path.join(folder, name)
            os.mkdir(folder)
            made = made or folder
        staging = tempfile.mkdtemp(prefix=STAGING_PREFIX, dir=folder)
    except OSError as failure:
        remove_made(folder, made)
        raise Refusal("%s: cannot write in %s: %s" % (script, shown, failure.strerror))
    record = {name: sha256(os.path.join(folder, name)) for name in earlier}
    # The script that runs this, which may still be at work when another
    # looks, and the lock it takes for as long as it runs.
    open(os.path.join(staging, "lock"), "w").close()
    write_whole(os.path.join(staging, "earlier.json"), {"earlier": record, "pid": os.getppid()})
    os.mkdir(os.path.join(staging, "new"))
    return folder, staging, made


def put(script, staging):
    folder = os.path.dirname(staging)
    with open(os.path.join(staging, "earlier.json")) as file:
        earlier = json.load(file)["earlier"]
    new = os.path.join(staging, "new")
    # The folder as it was found: a file the user put there meanwhile, or one
    # of the release changed, stops it here.
    now = listing(folder, leave_out=(os.path.basename(staging),))
    if now != sorted(earlier) or any(sha256(os.path.join(folder, name)) != digest for name, digest in earlier.items()):
        raise Refusal("%s: %s changed while the release was made (it holds %s); the new release is not put there"
                      % (script, folder, " ".join(now)[:200] or "nothing"))
    # The earlier release is kept beside the new one until that is in place.
    kept = os.path.join(staging, "earlier")
    try:
        os.mkdir(kept)
        for name in earlier:
            try:
                os.link(os.path.join(folder, name), os.path.join(kept, name))
            except OSError:
                shutil.copy2(os.path.join(folder, name), os.path.join(kept, name))
    except OSError as failure:
        raise Refusal("%s: cannot keep the earlier release aside in %s: %s; the new release is not put there"
                      % (script, staging, failure.strerror))
    for name in earlier:
        flush(os.path.join(kept, name))
    # SHA256SUMS last: once it is in place, all it names is there. What is put
    # in place is on record first, for a script that finds this one killed.
    names = sorted(os.listdir(new), key=lambda name: name == SUMS)
    write_whole(os.path.join(staging, "placing.json"), {"new": {name: sha256(os.path.join(new, name)) for name in names}})
    placed = []
    try:
        for name in names:
            flush(os.path.join(new, name))
            os.replace(os.path.join(new, name), os.path.join(folder, name))
            placed.append(name)
    except OSError as failure:
        try:
            for done in reversed(placed):
                if done in earlier:
                    os.replace(os.path.join(kept, done), os.path.join(folder, done))
                else:
                    os.remove(os.path.join(folder, done))
        except OSError:
            raise EarlierKeptAside("%s: cannot put %s in %s (%s), nor put the earlier release back: it is kept in %s"
                          % (script, name, folder, failure.strerror, kept))
        raise Refusal("%s: cannot put %s in %s: %s; the folder holds what it held"
                      % (script, name, folder, failure.strerror))
    for name in earlier:
        if name not in names:
            os.remove(os.path.join(folder, name))
    flush(folder)
    # Done: under a name that says so, then gone.
    done = os.path.join(folder, DONE_PREFIX + os.path.basename(staging)[len(STAGING_PREFIX):])
    os.replace(staging, done)
    shutil.rmtree(done)


def write_whole(path, record):
    """A JSON record, whole on the disk or not there at all."""
    with open(path + ".new", "w") as file:
        json.dump(record, file)
        file.flush()
        os.fsync(file.fileno())
    os.replace(path + ".new", path)


def flush(path):
    """Writes what the system holds of a file or folder to the disk."""
    descriptor = os.open(path, os.O_RDONLY)
    try:
        os.fsync(descriptor)
    finally:
        os.close(descriptor)


def remove_made(deepest, made):
    """Removes the folders from `deepest` up to `made`, the first one made,
    while they are empty."""
    if not made:
        return
    folder = deepest
    while True:
        try:
            os.rmdir(folder)
        except OSError:
            return
        if folder == made:
            return
        folder = os.path.dirname(folder)


def abandon(staging, made):
    shutil.rmtree(staging, ignore_errors=True)
    remove_made(os.path.dirname(staging), made)


def verify(folder):
    entries = listing(folder)
    names = release_in(folder, entries)
    if names is None:
        raise Refusal("%s does not hold exactly a release whose SHA256SUMS checks its zip: it holds %s"
                      % (folder, " ".join(entries)))
    return next(name for name in names if RELEASE.fullmatch(name))


def main(arguments):
    try:
        if len(arguments) == 3 and arguments[0] == "prepare":
            # NUL after each: a folder's name may hold any other character.
            print("".join(part + "\0" for part in prepare(arguments[1], arguments[2])), end="")
        elif len(arguments) == 3 and arguments[0] == "put":
            put(arguments[1], arguments[2])
        elif len(arguments) == 3 and arguments[0] == "abandon":
            abandon(arguments[1], arguments[2])
        elif len(arguments) == 2 and arguments[0] == "sums":
            print(sums_line(os.path.basename(arguments[1]), sha256(arguments[1])), end="")
        elif len(arguments) == 2 and arguments[0] == "verify":
            print(verify(arguments[1]))
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except Refusal as refusal:
        print(refusal, file=sys.stderr)
        return refusal.status
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
