#!/usr/bin/env python3
"""Several machines writing into one folder (NFS, a cluster's shared volume):
each is a UTS namespace with a host name of its own and a process-id space
of its own, as two nodes are. A run never removes another machine's
temporary file, and still cleans up the leftovers of its own machine.

    shared_folder_test.py CLIPWRIGHT_CLI
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

CLI = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "clipwright-cli"


def machine_token(host, boot_id):
    """The machine's token in our temporary names: FNV-1a of host name and boot id."""
    value = 2166136261
    for byte in (host + "\n" + boot_id).encode():
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return "%08x" % value


def boot_id():
    with open("/proc/sys/kernel/random/boot_id") as f:
        return f.read().strip()


def can_unshare():
    try:
        return subprocess.run(["unshare", "--uts", "--pid", "--fork", "--mount-proc", "true"], capture_output=True).returncode == 0
    except FileNotFoundError:
        return False


def on_node(host, command, exec_last):
    """`command` (a list) run as a process of a machine called `host`."""
    quoted = " ".join("'" + word.replace("'", "'\\''") + "'" for word in command)
    if exec_last:
        script = f"hostname {host} && exec {quoted}"  # the tool is process 1 there
    else:
        # Process ids used up first, so that the tool's id is one that the
        # other machine does not have (its threads' ids count as processes).
        script = f"hostname {host} && for i in $(seq 60); do /bin/true; done; {quoted}; status=$?; exit $status"
    # Its own /proc too, as a node has: sanitizers read their threads there.
    return ["unshare", "--uts", "--pid", "--fork", "--kill-child", "--mount-proc", "sh", "-c", script]


@unittest.skipUnless(can_unshare(), "needs unshare --uts --pid (root or user namespaces)")
class SharedFolder(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="clipwright-shared-")
        self.out = os.path.join(self.dir, "out")
        os.mkdir(self.out)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def sox(self, name, seconds):
        path = os.path.join(self.dir, name)
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", str(seconds), "sine", "440"],
                       check=True)
        return path

    def temporaries(self):
        return glob.glob(os.path.join(self.out, ".clipwright-*"))

    def test_a_run_on_one_machine_leaves_another_machines_file_in_flight_alone(self):
        long = self.sox("long.wav", 240)
        short = self.sox("short.wav", 2)
        first_target = os.path.join(self.out, "long.mp3")
        first = subprocess.Popen(on_node("nodeA", [CLI, "encode", long, first_target, "--quiet"], False),
                                 stderr=subprocess.PIPE, text=True)
        try:
            deadline = time.time() + 60
            while not self.temporaries() and first.poll() is None and time.time() < deadline:
                time.sleep(0.005)
            in_flight = self.temporaries()
            self.assertEqual(len(in_flight), 1, "the first machine's run ended before its file was seen")
            # nodeB: its own process ids, the first machine's id of no process there.
            second = subprocess.run(on_node("nodeB", [CLI, "cut", short, os.path.join(self.out, "short.wav"),
                                                      "--start", "0.5", "--end", "1.5", "--quiet"], True),
                                    capture_output=True, text=True)
            self.assertEqual(second.returncode, 0, second.stderr)
            self.assertIsNone(first.poll(), "the first run must still be writing for the check to mean anything")
            self.assertTrue(os.path.exists(in_flight[0]), "the second machine removed a file in flight")
        finally:
            _, err = first.communicate(timeout=600)
        self.assertEqual(first.returncode, 0, err)
        self.assertGreater(os.path.getsize(first_target), 100000)
        self.assertTrue(os.path.exists(os.path.join(self.out, "short.wav")))
        self.assertEqual(self.temporaries(), [])

    def test_a_leftover_of_another_host_stays_and_its_own_host_removes_it(self):
        source = self.sox("tone.wav", 1)
        # Process 999999 exists on no machine here; the file is nodeB's.
        leftover = os.path.join(self.out, f".clipwright-999999-{machine_token('nodeB', boot_id())}-QwErTy")
        with open(leftover, "wb") as f:
            f.write(b"in flight elsewhere")
        run = subprocess.run(on_node("nodeA", [CLI, "decode", source, os.path.join(self.out, "a.wav"), "--quiet"],
                                     True), capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertTrue(os.path.exists(leftover), "nodeA removed nodeB's file")
        # This very machine (host name and boot) is not nodeB either.
        run = subprocess.run([CLI, "decode", source, os.path.join(self.out, "b.wav"), "--quiet"],
                             capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertTrue(os.path.exists(leftover))
        # nodeB itself, in the same boot, knows its process is gone.
        run = subprocess.run(on_node("nodeB", [CLI, "decode", source, os.path.join(self.out, "c.wav"), "--quiet"],
                                     True), capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertFalse(os.path.exists(leftover), "nodeB kept its own dead run's leftover")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
