#!/usr/bin/env python3
"""The ways of fanning a manifest out: GNU parallel on this machine
(--sshlogin :), and the Slurm array job and Kubernetes Indexed Job in deploy/,
whose part selection runs here as each array task or pod would run it.

    fan_out_test.py CLIPWRIGHT_CLI SOURCE_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import yaml

CLI = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "clipwright-cli"
SOURCE_DIR = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "..", "..")
DEPLOY = os.path.abspath(os.path.join(SOURCE_DIR, "deploy"))


# The API's key for a Job's and a pod's body, escaped as the YAML file writes it.
BODY = "sp\x65c"


def first(tree, key):
    """The value of the first `key` found in a parsed YAML tree, depth first; None when none is."""
    if isinstance(tree, dict):
        if key in tree:
            return tree[key]
        tree = list(tree.values())
    for item in tree if isinstance(tree, list) else []:
        found = first(item, key)
        if found is not None:
            return found
    return None


class Archive:
    """A folder with sources made by sox and a TSV manifest of cuts and splits of them."""

    def __init__(self, jobs=9):
        self.dir = tempfile.mkdtemp(prefix="clipwright-fan-")
        self.bin = os.path.join(self.dir, "bin")
        os.mkdir(self.bin)
        os.symlink(CLI, os.path.join(self.bin, "clipwright-cli"))  # as installed: on the PATH
        os.mkdir(os.path.join(self.dir, "out"))
        self.targets = []
        lines = ["command\tsource\ttarget\toptions"]
        for i in range(jobs):
            source = os.path.join(self.dir, f"take{i}.wav")
            subprocess.run(["sox", "-n", "-r", "8000", "-c", "1", "-b", "16", source, "synth", "3", "sine",
                            str(200 + 50 * i)], check=True)
            if i % 3 == 2:
                folder = os.path.join(self.dir, "out", f"pieces{i}")
                os.mkdir(folder)
                lines.append(f"split\t{source}\t{folder}\t--every 1")
                self.targets += [os.path.join(folder, f"take{i}_{n}.wav") for n in (1, 2, 3)]
            else:
                target = os.path.join(self.dir, "out", f"cut{i}.wav")
                lines.append(f"cut\t{source}\t{target}\t--start 0.5 --end 2")
                self.targets.append(target)
        self.manifest = os.path.join(self.dir, "manifest.tsv")
        with open(self.manifest, "w") as f:
            f.write("\n".join(lines) + "\n")

    def env(self, **extra):
        env = dict(os.environ, PATH=self.bin + os.pathsep + os.environ["PATH"])
        env.update({k: str(v) for k, v in extra.items()})
        return env

    def made(self):
        return [t for t in self.targets if os.path.isfile(t)]

    def close(self):
        shutil.rmtree(self.dir)


class FanOut(unittest.TestCase):
    def setUp(self):
        self.archive = Archive()

    def tearDown(self):
        self.archive.close()

    def check_everything_made(self):
        self.assertEqual(self.archive.made(), self.archive.targets)
        for target in self.archive.targets:
            self.assertGreater(os.path.getsize(target), 44, target)
        self.assertEqual([n for n in os.listdir(os.path.join(self.archive.dir, "out")) if n.startswith(".")], [])

    def test_gnu_parallel_splits_the_manifest_among_machines(self):
        # One worker a machine (-j1); ":" is this one. The header goes with every block.
        with open(self.archive.manifest) as manifest:
            run = subprocess.run(["parallel", "--will-cite", "--pipe", "-N", "2", "--header", ":", "-j1",
                                  "--sshlogin", ":", "clipwright-cli", "batch", "-"],
                                 stdin=manifest, env=self.archive.env(), capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(len(re.findall(r"^2 jobs: 2 done", run.stdout, re.M)), 4, run.stdout)
        self.check_everything_made()
        # A failing job fails its block, and parallel says so by its exit code.
        with open(self.archive.manifest, "a") as f:
            f.write(f"cut\t{self.archive.dir}/none.wav\t{self.archive.dir}/out/x.wav\t--start 0 --end 1\n")
        with open(self.archive.manifest) as manifest:
            run = subprocess.run(["parallel", "--will-cite", "--pipe", "-N", "2", "--header", ":", "-j1",
                                  "--sshlogin", ":", "clipwright-cli", "batch", "-"],
                                 stdin=manifest, env=self.archive.env(), capture_output=True, text=True)
        self.assertNotEqual(run.returncode, 0)
        self.assertIn("no such file: " + self.archive.dir + "/none.wav", run.stderr)

    def test_slurm_array_tasks_each_run_their_share(self):
        script = os.path.join(DEPLOY, "slurm", "clipwright-array.sbatch")
        subprocess.run(["bash", "-n", script], check=True)
        with open(script) as f:
            text = f.read()
        options = dict(re.findall(r"^#SBATCH --([a-z-]+)=(\S+)", text, re.M))
        first, last = map(int, re.match(r"(\d+)-(\d+)", options["array"]).groups())
        self.assertIn("requeue", re.findall(r"^#SBATCH --([a-z-]+)$", text, re.M))
        tasks = last - first + 1
        for task in range(first, last + 1):
            env = self.archive.env(MANIFEST=self.archive.manifest, SLURM_ARRAY_TASK_ID=task,
                                   SLURM_ARRAY_TASK_MIN=first, SLURM_ARRAY_TASK_COUNT=tasks,
                                   SLURM_CPUS_PER_TASK=options["cpus-per-task"])
            run = subprocess.run(["bash", script], env=env, capture_output=True, text=True, cwd=self.archive.dir)
            self.assertEqual(run.returncode, 0, run.stderr)
            # Task i runs the manifest's jobs i, i + n, ...: here one job at most.
            self.assertIn("1 job: 1 done" if task - first < 9 else "0 jobs: 0 done", run.stdout)
        self.check_everything_made()
        # A requeued task finds its work done.
        env = self.archive.env(MANIFEST=self.archive.manifest, SLURM_ARRAY_TASK_ID=first, SLURM_ARRAY_TASK_COUNT=tasks)
        run = subprocess.run(["bash", script], env=env, capture_output=True, text=True)
        self.assertIn("1 job: 0 done, 1 skipped", run.stdout)

    def test_kubernetes_indexed_job_pods_each_run_their_share(self):
        with open(os.path.join(DEPLOY, "kubernetes", "clipwright-job.yaml")) as f:
            job = yaml.safe_load(f)
        self.assertEqual((job["apiVersion"], job["kind"]), ("batch/v1", "Job"))
        self.assertEqual(set(job), {"apiVersion", "kind", "metadata", BODY})
        self.assertEqual(set(job[BODY]["template"]), {BODY})  # the pod's own, where the kubelet reads it
        self.assertIn("containers", job[BODY]["template"][BODY])
        self.assertEqual(first(job, "completionMode"), "Indexed")
        self.assertEqual(first(job, "restartPolicy"), "Never")
        container = first(job, "containers")[0]
        env = {e["name"]: e["value"] for e in container["env"]}
        completions = first(job, "completions")
        self.assertEqual(int(env["PARTS"]), completions)
        self.assertEqual(env["CPUS"], str(container["resources"]["requests"]["cpu"]))
        mounts = [m["mountPath"] for m in container["volumeMounts"]]
        self.assertTrue(any(env["MANIFEST"].startswith(m + "/") for m in mounts), "the manifest is on the shared volume")
        volumes = {v["name"]: v for v in first(job, "volumes")}
        self.assertIn("persistentVolumeClaim", volumes[container["volumeMounts"][0]["name"]])
        # Each pod's command, as the kubelet runs it, with this archive as the volume.
        env["MANIFEST"] = self.archive.manifest
        for index in range(completions):
            run = subprocess.run(container["command"], env=self.archive.env(JOB_COMPLETION_INDEX=index, **env),
                                 capture_output=True, text=True, cwd=self.archive.dir)
            self.assertEqual(run.returncode, 0, run.stderr)
        self.check_everything_made()
        # A pod started again for its index skips what is done.
        run = subprocess.run(container["command"], env=self.archive.env(JOB_COMPLETION_INDEX=0, **env),
                             capture_output=True, text=True)
        self.assertIn("1 job: 0 done, 1 skipped", run.stdout)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
