#!/usr/bin/env python3
"""Runs the built mariasetup as the administrator does, as root, in a private
mount namespace in which a scratch directory is mounted over /etc/Varnholt:
no test reads or writes the machine's own configuration.

    unshare -m python3 setup_program_test.py --program PATH --payload ZIP --driver SO
        [--runner 'CMD,ARGS']

Each test makes a kit (a copy of the program and its mariadb_install.zip), a
program directory holding kq230vm.so with an owner, group and mode of its own,
and the configuration file; then it runs the kit and looks at the result:
exit status, messages, the files installed with their owners and modes, and,
for every refused archive, that nothing changed inside or outside the target.
"""
import argparse
import hashlib
import io
import os
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
import zlib

PROGRAM = None
PAYLOAD = None
DRIVER = None
RUNNER = []
CONF_DIR = "/etc/Varnholt/QUILAN/23.0"

LIB_UID, LIB_GID, LIB_MODE = 1234, 2345, 0o4757  # set-id and world-write must not travel
DIR_UID, DIR_GID, DIR_MODE = 3000, 3001, 0o751
FILE_MODE = 0o755  # LIB_MODE without special bits and without write for others


def setUpModule():
    # Mounts made here stay here, and the machine's /etc/Varnholt is hidden.
    subprocess.run(["mount", "--make-rprivate", "/"], check=True)
    os.makedirs("/etc/Varnholt", exist_ok=True)
    global ETC_SCRATCH
    ETC_SCRATCH = tempfile.mkdtemp(prefix="kq-etc-")
    subprocess.run(["mount", "--bind", ETC_SCRATCH, "/etc/Varnholt"], check=True)


def tearDownModule():
    subprocess.run(["umount", "/etc/Varnholt"], check=False)
    shutil.rmtree(ETC_SCRATCH, ignore_errors=True)


# ---------------------------------------------------------------------------
# Archives

def zip_bytes(entries, compression=zipfile.ZIP_DEFLATED, force_zip64=False, stream=False,
              comment=b""):
    """entries: list of (name, bytes) or (ZipInfo, bytes). With stream the
    archive is written to a non-seekable stream: every entry then carries a
    data descriptor."""
    class Unseekable(io.RawIOBase):
        def __init__(self):
            self.buf = bytearray()

        def writable(self):
            return True

        def write(self, b):
            self.buf += b
            return len(b)

        def seekable(self):
            return False

    out = Unseekable() if stream else io.BytesIO()
    with zipfile.ZipFile(out, "w", compression=compression) as z:
        for name, data in entries:
            if isinstance(name, zipfile.ZipInfo):
                z.writestr(name, data)
            else:
                info = zipfile.ZipInfo(name, date_time=(2024, 1, 2, 3, 4, 6))
                info.compress_type = compression
                info.external_attr = (0o100644 << 16)
                info.create_system = 3
                if force_zip64:
                    with z.open(info, "w", force_zip64=True) as f:
                        f.write(data)
                else:
                    z.writestr(info, data)
        z.comment = comment
    return bytes(out.buf) if stream else out.getvalue()


def info_zip(tree, options=()):
    """An archive of a tree of files made by Info-ZIP zip (recursive, so with
    directory entries)."""
    with tempfile.TemporaryDirectory() as d:
        for name, data in tree.items():
            p = os.path.join(d, name)
            if name.endswith("/"):
                os.makedirs(p, exist_ok=True)
                continue
            os.makedirs(os.path.dirname(p), exist_ok=True)
            with open(p, "wb") as f:
                f.write(data)
        out = os.path.join(d, "..", os.path.basename(d) + ".zip")
        subprocess.run(["zip", "-q", "-r", *options, out, "."], cwd=d, check=True)
        with open(out, "rb") as f:
            data = f.read()
        os.unlink(out)
        return data


def central_headers(data):
    """(offset of the central header, name, local header offset) of each
    entry of an archive without ZIP64 fields."""
    end = data.rfind(b"PK\x05\x06")
    count, size, offset = struct.unpack("<HII", data[end + 10:end + 20])
    result = []
    at = offset
    for _ in range(count):
        n, e, c = struct.unpack("<HHH", data[at + 28:at + 34])
        local = struct.unpack("<I", data[at + 42:at + 46])[0]
        result.append((at, data[at + 46:at + 46 + n], local))
        at += 46 + n + e + c
    return result


def patch_entry(data, name, crc=None, size=None, flags_or=0):
    """Changes the CRC, the uncompressed size or the flags of one entry in
    both its local and central headers (so that only the data disagree)."""
    data = bytearray(data)
    for central, entry_name, local in central_headers(bytes(data)):
        if entry_name != name.encode():
            continue
        if crc is not None:
            struct.pack_into("<I", data, central + 16, crc)
            struct.pack_into("<I", data, local + 14, crc)
        if size is not None:
            struct.pack_into("<I", data, central + 24, size)
            struct.pack_into("<I", data, local + 22, size)
        if flags_or:
            for at in (central + 8, local + 6):
                struct.pack_into("<H", data, at, struct.unpack_from("<H", data, at)[0] | flags_or)
    return bytes(data)


def symlink_info(name):
    info = zipfile.ZipInfo(name)
    info.create_system = 3
    info.external_attr = (stat.S_IFLNK | 0o777) << 16
    return info


# ---------------------------------------------------------------------------
# Trees

def snapshot(root):
    """Every path below root with its kind, owner, mode and content digest."""
    result = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            p = os.path.join(dirpath, name)
            st = os.lstat(p)
            if stat.S_ISREG(st.st_mode):
                with open(p, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
            elif stat.S_ISLNK(st.st_mode):
                digest = "-> " + os.readlink(p)
            else:
                digest = ""
            result[os.path.relpath(p, root)] = (stat.S_IFMT(st.st_mode), st.st_uid, st.st_gid,
                                                stat.S_IMODE(st.st_mode), digest)
    return result


class SetupProgramTest(unittest.TestCase):

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="kq-setup-")
        self.kit = os.path.join(self.work, "kit")
        self.target = os.path.join(self.work, "server", "bin")
        self.outside = os.path.join(self.work, "outside")
        os.makedirs(self.kit)
        os.makedirs(self.target)
        os.makedirs(self.outside)
        shutil.copy2(PROGRAM, os.path.join(self.kit, "mariasetup"))
        with open(os.path.join(self.outside, "victim"), "wb") as f:
            f.write(b"outside the target\n")
        os.chown(self.target, DIR_UID, DIR_GID)
        os.chmod(self.target, DIR_MODE)
        lib = os.path.join(self.target, "kq230vm.so")
        with open(lib, "wb") as f:
            f.write(b"the virtual machine\n")
        os.chown(lib, LIB_UID, LIB_GID)
        os.chmod(lib, LIB_MODE)
        self.write_conf("[DEFAULT]\nBINPATH=%s\n" % self.target)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree("/etc/Varnholt/QUILAN", ignore_errors=True)

    # -- helpers

    def write_conf(self, text):
        shutil.rmtree("/etc/Varnholt/QUILAN", ignore_errors=True)
        if text is None:
            return
        os.makedirs(CONF_DIR)
        with open(os.path.join(CONF_DIR, "QUILAN.conf"), "w") as f:
            f.write(text)

    def put_archive(self, data):
        with open(os.path.join(self.kit, "mariadb_install.zip"), "wb") as f:
            f.write(data)

    def run_setup(self, as_user=None):
        command = RUNNER + [os.path.join(self.kit, "mariasetup")]
        if as_user is not None:
            command = ["setpriv", "--reuid=%d" % as_user, "--regid=%d" % as_user,
                       "--clear-groups"] + command
        # LeakSanitizer cannot run under the emulator (a sanitized build's
        # program would fail at exit for that alone).
        env = dict(os.environ)
        if RUNNER:
            env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
        p = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           cwd="/", timeout=300, env=env)
        return p.returncode, p.stderr.decode("utf-8", "replace"), p.stdout

    def assert_installed(self, files):
        for name, data in files.items():
            p = os.path.join(self.target, name)
            with open(p, "rb") as f:
                self.assertEqual(f.read(), data, name)
            st = os.lstat(p)
            self.assertTrue(stat.S_ISREG(st.st_mode), name)
            self.assertEqual((st.st_uid, st.st_gid, stat.S_IMODE(st.st_mode)),
                             (LIB_UID, LIB_GID, FILE_MODE), name)

    def assert_refused(self, data, expected_text, prepare=None):
        """The archive is refused with the text, and nothing changed inside
        or outside the target (no temporary file left either)."""
        with open(os.path.join(self.target, "libold.so"), "wb") as f:
            f.write(b"previous install\n")
        if prepare:
            prepare()
        self.put_archive(data)
        before = snapshot(self.work)
        rc, err, _ = self.run_setup()
        self.assertEqual(rc, 255, err)
        self.assertIn(expected_text, err)
        self.assertIn("was not installed", err)
        self.assertEqual(snapshot(self.work), before)
        return err

    # -- the road

    def test_installs_an_info_zip_archive_with_nested_folders_and_the_library_owner(self):
        tree = {"kq230maria.so": os.urandom(300000), "doc/readme.txt": b"read me\n" * 1000,
                "share/mariadb/charsets/index.xml": b"<charsets/>\n", "empty/": b""}
        self.put_archive(info_zip(tree))
        rc, err, out = self.run_setup()
        self.assertEqual(rc, 0, err)
        self.assertEqual(err, "The MariaDB driver is installed.\n\n")
        self.assertEqual(out, b"")
        self.assert_installed({k: v for k, v in tree.items() if not k.endswith("/")})
        for d in ("doc", "share", "share/mariadb", "share/mariadb/charsets", "empty"):
            st = os.lstat(os.path.join(self.target, d))
            self.assertTrue(stat.S_ISDIR(st.st_mode), d)
            self.assertEqual((st.st_uid, st.st_gid, stat.S_IMODE(st.st_mode)),
                             (DIR_UID, DIR_GID, DIR_MODE), d)

    def test_the_built_kit_installs_the_driver(self):
        # The build's own payload beside the program: the installation kit.
        shutil.copy2(PAYLOAD, os.path.join(self.kit, "mariadb_install.zip"))
        rc, err, _ = self.run_setup()
        self.assertEqual(rc, 0, err)
        with open(DRIVER, "rb") as f:
            self.assert_installed({"kq230maria.so": f.read()})

    def test_installs_an_info_zip_archive_forced_to_zip64(self):
        tree = {"kq230maria.so": os.urandom(100000), "lib/plugin/auth.so": b"auth" * 3000}
        data = info_zip(tree, options=("-fz",))
        self.assertIn(b"PK\x06\x06", data, "a ZIP64 end record")
        self.assertIn(b"PK\x06\x07", data, "a ZIP64 locator")
        self.put_archive(data)
        rc, err, _ = self.run_setup()
        self.assertEqual(rc, 0, err)
        self.assert_installed(tree)

    def test_installs_archives_of_every_form_python_writes(self):
        files = {"kq230maria.so": os.urandom(70000) + b"\0" * 200000, "a/b/c.txt": b"abc" * 5000,
                 "zero": b""}
        forms = {
            "stored": dict(compression=zipfile.ZIP_STORED),
            "deflated": dict(compression=zipfile.ZIP_DEFLATED),
            "zip64 deflated": dict(compression=zipfile.ZIP_DEFLATED, force_zip64=True),
            "zip64 stored": dict(compression=zipfile.ZIP_STORED, force_zip64=True),
            "data descriptors": dict(compression=zipfile.ZIP_DEFLATED, stream=True),
            "data descriptors stored": dict(compression=zipfile.ZIP_STORED, stream=True),
        }
        for form, options in forms.items():
            with self.subTest(form):
                self.put_archive(zip_bytes(list(files.items()), **options))
                rc, err, _ = self.run_setup()
                self.assertEqual(rc, 0, err)
                self.assert_installed(files)

    def test_installs_an_archive_info_zip_streams_with_data_descriptors(self):
        # zip writing to a pipe cannot seek back: sizes and CRC follow the data.
        payload = os.urandom(50000) * 3
        src = os.path.join(self.work, "src")
        os.makedirs(src)
        with open(os.path.join(src, "kq230maria.so"), "wb") as f:
            f.write(payload)
        p = subprocess.run("zip -q - kq230maria.so | cat", shell=True, cwd=src,
                           stdout=subprocess.PIPE, check=True)
        flags = struct.unpack("<H", p.stdout[6:8])[0]
        self.assertTrue(flags & 8, "the archive has data descriptors")
        self.put_archive(p.stdout)
        rc, err, _ = self.run_setup()
        self.assertEqual(rc, 0, err)
        self.assert_installed({"kq230maria.so": payload})

    def test_replaces_a_previous_install_and_keeps_other_files(self):
        self.put_archive(zip_bytes([("kq230maria.so", b"version 1"), ("lib/x.so", b"x1")]))
        self.assertEqual(self.run_setup()[0], 0)
        with open(os.path.join(self.target, "notes.txt"), "wb") as f:
            f.write(b"the administrator's\n")
        self.put_archive(zip_bytes([("kq230maria.so", b"version 2"), ("lib/x.so", b"x2")]))
        rc, err, _ = self.run_setup()
        self.assertEqual(rc, 0, err)
        self.assert_installed({"kq230maria.so": b"version 2", "lib/x.so": b"x2"})
        with open(os.path.join(self.target, "notes.txt"), "rb") as f:
            self.assertEqual(f.read(), b"the administrator's\n")
        self.assertEqual(sorted(os.listdir(self.target)),
                         ["kq230maria.so", "kq230vm.so", "lib", "notes.txt"])

    def test_finds_the_end_record_behind_the_longest_comment_and_past_a_false_one(self):
        files = [("kq230maria.so", b"driver")]
        fake = b"PK\x05\x06" + b"\0" * 16 + b"\0\0"  # an end record inside the comment
        for comment in (b"x" * 0xFFFF, fake + b"y" * 100, b"z" * 0xFFF0 + fake[:15]):
            with self.subTest(len(comment)):
                self.put_archive(zip_bytes(files, comment=comment))
                rc, err, _ = self.run_setup()
                self.assertEqual(rc, 0, err)
                self.assert_installed(dict(files))

    def test_a_binpath_without_end_slash_gets_one(self):
        self.write_conf("[DEFAULT]\nBINPATH = %s\n" % self.target.rstrip("/"))
        self.put_archive(zip_bytes([("kq230maria.so", b"driver")]))
        rc, err, _ = self.run_setup()
        self.assertEqual(rc, 0, err)

    # -- the run's own edge cases

    def test_a_user_other_than_root_gets_message_4219_only(self):
        self.put_archive(zip_bytes([("kq230maria.so", b"driver")]))
        os.chmod(self.work, 0o755)
        before = snapshot(self.work)
        rc, err, out = self.run_setup(as_user=65534)
        self.assertEqual(rc, 255)
        self.assertEqual(err, "mariasetup must be run by the super-user (root).\n\n")
        self.assertEqual(snapshot(self.work), before)

    def test_a_configuration_without_a_usable_binpath_gives_message_4976(self):
        cases = {
            "file missing": None,
            "empty file": "",
            "section missing": "[OTHER]\nBINPATH=%s\n" % "/tmp",
            "key missing": "[DEFAULT]\nPATH=/tmp\n",
            "empty value": "[DEFAULT]\nBINPATH=\n",
            "relative path": "[DEFAULT]\nBINPATH=server/bin\n",
            "too long to read whole": "[DEFAULT]\nBINPATH=/" + "d/" * 600 + "\n",
        }
        self.put_archive(zip_bytes([("kq230maria.so", b"driver")]))
        for name, text in cases.items():
            with self.subTest(name):
                self.write_conf(text)
                before = snapshot(self.work)
                rc, err, _ = self.run_setup()
                self.assertEqual(rc, 255)
                self.assertIn("gives no program directory", err)
                self.assertTrue(err.endswith("was not installed; the program directory is as it was.\n\n"))
                self.assertEqual(snapshot(self.work), before)

    def test_a_missing_library_gives_message_4977_with_its_file_name(self):
        os.unlink(os.path.join(self.target, "kq230vm.so"))
        self.put_archive(zip_bytes([("kq230maria.so", b"driver")]))
        rc, err, _ = self.run_setup()
        self.assertEqual(rc, 255)
        self.assertIn('Cannot examine "kq230vm.so": No such file or directory', err)
        self.assertNotIn(self.target, err)
        self.assertEqual(os.listdir(self.target), [])

    def test_a_missing_archive_is_reported_and_the_target_is_untouched(self):
        before = snapshot(self.work)
        rc, err, _ = self.run_setup()
        self.assertEqual(rc, 255)
        self.assertIn("mariadb_install.zip", err)
        self.assertIn("The archive cannot be opened.", err)
        self.assertIn("No such file or directory", err)
        self.assertEqual(snapshot(self.work), before)

    def test_a_failing_second_entry_installs_nothing(self):
        data = zip_bytes([("a.so", b"first"), ("b.so", b"second" * 100), ("c.so", b"third")])
        data = patch_entry(data, "b.so", crc=0x12345678)
        self.assert_refused(data, "do not match their CRC-32")
        self.assertFalse(os.path.exists(os.path.join(self.target, "a.so")))

    def test_a_failure_while_renaming_into_place_swaps_back_what_was_replaced(self):
        # The second destination is immutable: its rename fails after the
        # first file was already exchanged with its old version.
        for name in ("a.so", "z.so"):
            with open(os.path.join(self.target, name), "wb") as f:
                f.write(b"old " + name.encode())
        z = os.path.join(self.target, "z.so")
        if subprocess.run(["chattr", "+i", z], stderr=subprocess.DEVNULL).returncode != 0:
            self.skipTest("the file system takes no immutable flag")
        try:
            self.put_archive(zip_bytes([("a.so", b"new a"), ("new.so", b"new"), ("z.so", b"new z")]))
            before = snapshot(self.work)
            rc, err, _ = self.run_setup()
            self.assertEqual(rc, 255, err)
            self.assertIn('failed on "z.so"', err)
            self.assertIn("Operation not permitted", err)
            self.assertEqual(snapshot(self.work), before)
        finally:
            subprocess.run(["chattr", "-i", z], check=False)

    # -- bad input

    def test_refuses_names_that_could_leave_the_target(self):
        for name in ("../evil.so", "a/../../evil.so", "/tmp/evil.so", "a\\..\\evil.so", "C:evil.so",
                     "./x.so", "a//b.so", "bad\x01name", "esc\x1b[2Jname"):
            with self.subTest(name):
                data = zip_bytes([("good.so", b"good"), (name, b"evil")])
                self.assertIn(name.encode(), data)
                err = self.assert_refused(data, "name is refused")
                # A name is shown without its control characters.
                self.assertFalse([c for c in err if ord(c) < 0x20 and c != "\n"], err)

    def test_refuses_symbolic_link_entries(self):
        data = zip_bytes([("good.so", b"good"), (symlink_info("link.so"), b"/etc/passwd")])
        self.assert_refused(data, "symbolic link or a special file")

    def test_refuses_links_already_in_the_target_tree(self):
        victim = os.path.join(self.outside, "victim")
        cases = {
            "destination": ("lib.so", lambda: os.symlink(victim, os.path.join(self.target, "lib.so"))),
            "parent directory": ("sub/lib.so",
                                 lambda: os.symlink(self.outside, os.path.join(self.target, "sub"))),
            "dangling destination": ("new.so", lambda: os.symlink(
                os.path.join(self.outside, "new.so"), os.path.join(self.target, "new.so"))),
            "a file where a directory goes": ("libold.so/x.so", lambda: None),
            "a directory where a file goes": ("d", lambda: os.mkdir(os.path.join(self.target, "d"))),
        }
        for case, (name, prepare) in cases.items():
            with self.subTest(case):
                self.tearDown()
                self.setUp()
                data = zip_bytes([("good.so", b"good"), (name, b"evil")])
                self.assert_refused(data, "stands in the way", prepare)

    def test_refuses_damaged_archives(self):
        good = zip_bytes([("good.so", b"good"), ("big.so", b"0123456789" * 20000)])
        bomb = patch_entry(good, "big.so", size=1000)
        short = patch_entry(good, "big.so", size=300000)
        cases = {
            "crc mismatch": (patch_entry(good, "big.so", crc=1), "CRC-32"),
            "inflates past its declared size": (bomb, "do not have the size"),
            "inflates short of its declared size": (short, "do not have the size"),
            "cut short": (good[:len(good) // 2], "no ZIP archive"),
            "no archive at all": (os.urandom(5000), "no ZIP archive"),
            "empty file": (b"", "no ZIP archive"),
            "encrypted flag": (patch_entry(good, "big.so", flags_or=1), "encrypted"),
        }
        for case, (data, text) in cases.items():
            with self.subTest(case):
                self.assert_refused(data, text)

    def test_refuses_an_entry_info_zip_encrypted(self):
        src = os.path.join(self.work, "src")
        os.makedirs(src)
        with open(os.path.join(src, "kq230maria.so"), "wb") as f:
            f.write(b"secret driver")
        p = subprocess.run(["zip", "-q", "-P", "password", "-", "kq230maria.so"], cwd=src,
                           stdout=subprocess.PIPE, check=True)
        self.assert_refused(p.stdout, "encrypted")

    def test_refuses_duplicate_names_and_names_differing_only_in_case(self):
        cases = {
            "duplicate": [("lib.so", b"one"), ("lib.so", b"two")],
            "case": [("Lib.so", b"one"), ("lib.SO", b"two")],
            "file and directory": [("lib", b"one"), ("lib/x.so", b"two")],
            "directory case": [("Dir/a.so", b"one"), ("dir/b.so", b"two")],
        }
        import warnings
        for case, entries in cases.items():
            with self.subTest(case), warnings.catch_warnings():
                warnings.simplefilter("ignore")
                self.assert_refused(zip_bytes(entries), "same name")


def main():
    global PROGRAM, PAYLOAD, DRIVER, RUNNER
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--payload", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--runner", default="")
    args, rest = parser.parse_known_args()
    PROGRAM = os.path.abspath(args.program)
    PAYLOAD = os.path.abspath(args.payload)
    DRIVER = os.path.abspath(args.driver)
    RUNNER = [r for r in args.runner.split(",") if r]
    if os.getuid() != 0:
        print("setup_program_test: must run as root (the program refuses anyone else)")
        return 1
    return 0 if unittest.main(argv=[sys.argv[0]] + rest, exit=False).result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
