#!/usr/bin/python3
"""The release folder's rules, on folders of the test's own with releases that
stand in for real ones: which folders may take a release, that an earlier one
stays until the new one is in place, and is back whenever putting it fails.
Cases that need a user without root's rights run as nobody, where the host
allows it."""

import hashlib
import io
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
from unittest import mock

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import release_folder  # noqa: E402

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(release_folder.__file__)), "release_folder.py")
ZIP = "QuillaneConfig-1.0.0.2.zip"
KIT = "QuillaneConfig-1.0.0.2-test-kit.zip"


def sums(data, name=ZIP):
    return ("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name)).encode()


def kit_of(zip_data, sums_data):
    held = io.BytesIO()
    with zipfile.ZipFile(held, "w") as kit:
        kit.writestr("RUN-TESTS.cmd", b"@echo off\r\n")
        kit.writestr(ZIP, zip_data)
        kit.writestr("SHA256SUMS", sums_data)
    return held.getvalue()


def write(folder, files):
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as file:
            file.write(data)


def contents(folder):
    """Every entry under `folder` with its bytes, or its kind."""
    found = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if os.path.islink(path):
            found[name] = "link to " + os.readlink(path)
        elif os.path.isdir(path):
            found[name] = contents(path)
        else:
            with open(path, "rb") as file:
                found[name] = file.read()
    return found


class Folders(unittest.TestCase):
    def setUp(self):
        self.top = tempfile.mkdtemp(prefix="release-folder-")
        self.addCleanup(shutil.rmtree, self.top, True)
        self.earlier = {ZIP: b"the earlier zip", "SHA256SUMS": sums(b"the earlier zip")}
        self.new = {ZIP: b"the new zip", "SHA256SUMS": sums(b"the new zip")}
        cwd = os.getcwd()
        os.chdir(self.top)
        self.addCleanup(os.chdir, cwd)

    def folder(self, name, files=None):
        path = os.path.join(self.top, name)
        os.mkdir(path)
        write(path, files or {})
        return path

    def prepare(self, named):
        return release_folder.prepare("release.sh", named)

    def make_new(self, staging, files=None):
        write(os.path.join(staging, "new"), files or self.new)

    def staged(self, name, new=None):
        """A folder holding the earlier release, prepared, with the new one made
        in its staging folder."""
        folder = os.path.join(self.top, name)
        os.mkdir(folder)
        write(folder, self.earlier)
        _, staging, _ = self.prepare(folder)
        self.make_new(staging, new)
        return folder, staging

    def refused(self, named, saying):
        before = contents(self.top)
        with self.assertRaises(release_folder.Refusal) as refusal:
            self.prepare(named)
        self.assertIn(saying, str(refusal.exception))
        self.assertNotIn("\n", str(refusal.exception))
        self.assertEqual(contents(self.top), before, "a refusal changed the folders")


class Prepare(Folders):
    def test_takes_a_folder_that_is_new_empty_or_holds_an_earlier_release(self):
        self.folder("empty")
        self.folder("earlier", self.earlier)
        self.folder("with-kit", {**self.earlier, KIT: kit_of(b"the earlier zip", self.earlier["SHA256SUMS"])})
        os.symlink("earlier", "link")
        cases = [  # FOLDER as named, the folder that takes the release, the first one made
            ("new/deeper", "new/deeper", "new"),
            ("empty", "empty", ""),
            ("empty/", "empty", ""),
            ("earlier", "earlier", ""),
            ("with-kit", "with-kit", ""),
            ("link/.", "earlier", ""),
            ("link", "earlier", ""),
        ]
        for named, folder, made in cases:
            with self.subTest(named=named):
                got, staging, first = self.prepare(named)
                self.assertEqual(got, os.path.join(self.top, folder))
                self.assertEqual(os.path.dirname(staging), got)
                self.assertEqual(first, made and os.path.join(self.top, made))
                release_folder.abandon(staging, first)
                self.assertFalse(os.path.exists(os.path.join(self.top, "new")), "a folder made was left")

    def test_refuses_every_other_folder_in_one_line_and_changes_nothing(self):
        other_sums = sums(b"another zip")
        self.folder("mine", {**self.earlier, "notes.txt": b"the user's own"})
        self.folder("unchecked", {ZIP: b"the earlier zip", "SHA256SUMS": other_sums})
        self.folder("other-name", {ZIP: b"the earlier zip", "SHA256SUMS": sums(b"the earlier zip", "other.zip")})
        self.folder("two-zips", {**self.earlier, "QuillaneConfig-1.0.0.3.zip": b"x"})
        self.folder("zip-alone", {ZIP: b"the earlier zip"})
        self.folder("other-kit", {**self.earlier, KIT: kit_of(b"the earlier zip", other_sums)})
        linked = self.folder("linked-zip", {"SHA256SUMS": self.earlier["SHA256SUMS"]})
        write(self.top, {"elsewhere.zip": b"the earlier zip", "file": b"the user's own"})
        os.symlink(os.path.join(self.top, "elsewhere.zip"), os.path.join(linked, ZIP))
        for named in ("mine", "unchecked", "other-name", "two-zips", "zip-alone", "other-kit", "linked-zip"):
            with self.subTest(named=named):
                self.refused(named, "holds files that are not an earlier release")
        self.refused("file", "is not a folder")
        self.refused("file/below", "is not a folder")
        self.refused("nothere/..", "names . or .. under a folder that is not there")
        self.refused("nothere/./below", "names . or .. under a folder that is not there")


class Put(Folders):
    def put(self, staging):
        release_folder.put("release.sh", staging)

    def test_replaces_an_earlier_release_and_keeps_the_folders_own_mode_and_group(self):
        folder = self.folder("earlier", self.earlier)
        os.chmod(folder, 0o2770)
        shutil.chown(folder, group=100)
        for earlier, new in [
            (self.earlier, self.new),
            # A release of another version leaves no zip of the earlier one.
            (self.new, {"QuillaneConfig-1.0.0.3.zip": b"v3", "SHA256SUMS": sums(b"v3", "QuillaneConfig-1.0.0.3.zip")}),
        ]:
            with self.subTest(new=sorted(new)):
                self.assertEqual(contents(folder), earlier)
                _, staging, _ = self.prepare("earlier")
                self.make_new(staging, new)
                self.put(staging)
                self.assertEqual(contents(folder), new)
                self.assertEqual(stat.S_IMODE(os.stat(folder).st_mode), 0o2770)
                self.assertEqual(os.stat(folder).st_gid, 100)

    def test_a_folder_changed_meanwhile_keeps_what_it_holds(self):
        for change in ("a file of the user's", "the earlier zip rewritten"):
            with self.subTest(change=change):
                folder, staging = self.staged(change)
                if change == "a file of the user's":
                    write(folder, {"notes.txt": b"the user's own"})
                else:
                    write(folder, {ZIP: b"rewritten"})
                before = contents(folder)
                with self.assertRaises(release_folder.Refusal) as refusal:
                    self.put(staging)
                self.assertIn("changed while the release was made", str(refusal.exception))
                self.assertEqual(contents(folder), before)

    def test_a_file_that_cannot_be_put_in_place_brings_the_earlier_release_back(self):
        folder = self.folder("earlier", self.earlier)
        _, staging, _ = self.prepare("earlier")
        self.make_new(staging)
        replace = os.replace
        calls = []

        def failing_second(source, target):
            if os.path.dirname(target) == folder:
                calls.append(target)
                if len(calls) == 2:
                    raise OSError(28, "No space left on device")
            replace(source, target)

        with mock.patch.object(release_folder.os, "replace", failing_second):
            with self.assertRaises(release_folder.Refusal) as refusal:
                self.put(staging)
        self.assertEqual(refusal.exception.status, 1)
        self.assertIn("No space left on device", str(refusal.exception))
        self.assertEqual(contents(folder)[ZIP], self.earlier[ZIP])
        self.assertEqual(contents(folder)["SHA256SUMS"], self.earlier["SHA256SUMS"])

    def test_an_earlier_release_that_cannot_be_put_back_is_kept_aside(self):
        folder = self.folder("earlier", self.earlier)
        _, staging, _ = self.prepare("earlier")
        self.make_new(staging)
        replace = os.replace

        def failing_after_first(source, target):
            if os.path.dirname(target) == folder:
                if failing_after_first.done:
                    raise OSError(5, "Input/output error")
                failing_after_first.done = True
            replace(source, target)

        failing_after_first.done = False
        with mock.patch.object(release_folder.os, "replace", failing_after_first):
            with self.assertRaises(release_folder.Refusal) as refusal:
                self.put(staging)
        self.assertEqual(refusal.exception.status, 3)
        self.assertEqual(contents(os.path.join(staging, "earlier")), self.earlier)

    def test_an_earlier_release_is_copied_aside_where_it_cannot_be_linked(self):
        folder = self.folder("earlier", self.earlier)
        _, staging, _ = self.prepare("earlier")
        self.make_new(staging)
        with mock.patch.object(release_folder.os, "link", side_effect=OSError(1, "Operation not permitted")):
            self.put(staging)
        self.assertEqual(contents(folder), self.new)


def dead_pid():
    """The number of a process that has ended."""
    ended = subprocess.Popen(["true"])
    ended.wait()
    return ended.pid


class Leftovers(Folders):
    """What a script killed on the way leaves, as the next one finds it."""

    def left_by_a_dead_script(self, staging):
        with open(os.path.join(staging, "earlier.json")) as file:
            record = json.load(file)
        record["pid"] = dead_pid()
        with open(os.path.join(staging, "earlier.json"), "w") as file:
            json.dump(record, file)

    def killed_in_put(self, staging, after):
        """put(), killed once `after` renames into the folder are done (the
        new files, then its staging folder's own, to say it is done)."""
        folder = os.path.dirname(staging)
        replace = os.replace

        def killed(source, target):
            if os.path.dirname(target) == folder:
                if killed.left == 0:
                    raise SystemExit("killed")
                killed.left -= 1
            replace(source, target)

        killed.left = after
        with mock.patch.object(release_folder.os, "replace", killed):
            with self.assertRaises(SystemExit):
                release_folder.put("release.sh", staging)
        self.left_by_a_dead_script(staging)

    def held(self, folder):
        return {name: data for name, data in contents(folder).items() if not name.startswith(".")}

    def test_a_staging_folder_left_before_the_new_release_was_put_is_cleared(self):
        folder = self.folder("earlier", self.earlier)
        _, staging, _ = self.prepare("earlier")
        self.make_new(staging)
        self.left_by_a_dead_script(staging)
        self.prepare("earlier")
        self.assertFalse(os.path.exists(staging), "the staging folder left was not cleared")
        self.assertEqual(self.held(folder), self.earlier)

    def test_a_release_killed_while_it_was_put_in_place_brings_the_earlier_one_back(self):
        new_version = {"QuillaneConfig-1.0.0.3.zip": b"v3", "SHA256SUMS": sums(b"v3", "QuillaneConfig-1.0.0.3.zip")}
        for new in (self.new, new_version):
            for after in (0, 1, 2):
                with self.subTest(new=sorted(new), renamed=after):
                    folder, staging = self.staged("%s-%d" % (sorted(new)[0], after), new)
                    self.killed_in_put(staging, after)
                    self.prepare(folder)
                    self.assertEqual(self.held(folder), self.earlier)

    def test_a_release_killed_while_its_staging_folder_went_is_taken_as_put(self):
        folder = self.folder("earlier", self.earlier)
        _, staging, _ = self.prepare("earlier")
        self.make_new(staging)
        with mock.patch.object(release_folder.shutil, "rmtree", side_effect=SystemExit("killed")):
            with self.assertRaises(SystemExit):
                release_folder.put("release.sh", staging)
        self.prepare("earlier")
        self.assertEqual(self.held(folder), self.new)
        self.assertFalse(any(name.startswith(release_folder.DONE_PREFIX) for name in os.listdir(folder)))

    def test_a_copy_of_the_earlier_release_cut_short_is_not_put_back(self):
        folder = self.folder("earlier", self.earlier)
        _, staging, _ = self.prepare("earlier")
        self.make_new(staging)
        # Where files cannot be linked, the earlier ones are copied aside.
        with mock.patch.object(release_folder.os, "link", side_effect=OSError(1, "Operation not permitted")):
            self.killed_in_put(staging, 1)
        write(os.path.join(staging, "earlier"), {ZIP: b"the earl"})
        before = contents(self.top)
        with self.assertRaises(release_folder.Refusal) as refusal:
            self.prepare("earlier")
        self.assertIn("cannot be put back whole", str(refusal.exception))
        self.assertEqual(contents(self.top), before)

    def test_the_users_own_files_keep_a_leftover_where_it_is(self):
        cases = {
            "a file of the user's": {"notes.txt": b"the user's own"},
            "zips of the user's": {"QuillaneConfig-0.9.0.0.zip": b"an old one", "QuillaneConfig-1.0.0.0.zip": b"x"},
            "a release file changed": {ZIP: b"changed"},
        }
        for what, files in cases.items():
            with self.subTest(what=what):
                folder, staging = self.staged(what)
                self.killed_in_put(staging, 1)
                write(folder, files)
                self.refused(folder, "holds files that are not an earlier release")

    def test_a_release_at_work_in_the_folder_is_left_alone(self):
        folder = self.folder("earlier", self.earlier)
        _, staging, _ = self.prepare("earlier")
        self.left_by_a_dead_script(staging)
        # Its lock taken, as release.sh's shell takes it for as long as it runs.
        holder = subprocess.Popen(["flock", os.path.join(staging, "lock"), "sleep", "30"])
        self.addCleanup(holder.wait)
        self.addCleanup(holder.kill)
        for _ in range(100):
            if release_folder.at_work(staging, {}):
                break
            time.sleep(0.05)
        with self.assertRaises(release_folder.Refusal) as refusal:
            self.prepare("earlier")
        self.assertIn("another release is being made", str(refusal.exception))
        self.assertTrue(os.path.isdir(staging))
        self.assertEqual(self.held(folder), self.earlier)

    def test_a_folder_that_only_looks_like_a_staging_folder_is_the_users(self):
        for number, record in enumerate((None, b'{"earlier": 5}', b'{"earlier": null}', b"[1, 2]", b"not JSON")):
            with self.subTest(record=record):
                folder = os.path.join(self.top, "looks-%d" % number)
                os.mkdir(folder)
                write(folder, self.earlier)
                lookalike = os.path.join(folder, release_folder.STAGING_PREFIX + "abcd1234")
                os.mkdir(lookalike)
                if record is not None:
                    write(lookalike, {"earlier.json": record})
                self.refused(folder, "holds files that are not an earlier release")


@unittest.skipUnless(os.geteuid() == 0 and shutil.which("setpriv"), "needs root, to run a case as nobody")
class AsAUser(Folders):
    """As a user without root's rights, whose folders' modes hold."""

    def as_nobody(self, *arguments):
        return subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                               sys.executable, SCRIPT, *arguments], capture_output=True, text=True, cwd=self.top)

    def setUp(self):
        super().setUp()
        os.chmod(self.top, 0o755)

    def test_a_folder_that_cannot_be_written_is_refused_before_anything_is_made(self):
        folder = self.folder("read-only", self.earlier)
        shutil.chown(folder, user="nobody")
        os.chmod(folder, 0o555)
        done = self.as_nobody("prepare", "release.sh", "read-only")
        self.assertEqual(done.returncode, 1, done.stderr)
        self.assertIn("cannot write in read-only: Permission denied", done.stderr)
        self.assertEqual(contents(folder), self.earlier)

    def test_a_folder_whose_parent_cannot_be_written_takes_the_release(self):
        parent = self.folder("parent")
        folder = self.folder("parent/earlier", self.earlier)
        shutil.chown(folder, user="nobody")
        done = self.as_nobody("prepare", "release.sh", "parent/earlier")
        self.assertEqual(done.returncode, 0, done.stderr)
        staging = done.stdout.split("\0")[1]
        write(os.path.join(staging, "new"), self.new)
        done = self.as_nobody("put", "release.sh", staging)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(contents(folder), self.new)
        self.assertEqual(stat.S_IMODE(os.stat(parent).st_mode), 0o755)


if __name__ == "__main__":
    unittest.main()
