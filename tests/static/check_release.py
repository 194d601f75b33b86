#!/usr/bin/env python3
"""Checks what the release target writes, by running its script into
folders of the build (never the source tree's dist/):

- without a key: dist/ holds the executable unchanged, unsigned, and
  SHA256SUMS with its hash; the build says that it is unsigned;
- with a key (a test .pfx and its authority): the executable is signed, the
  signature verifies against that authority, and SHA256SUMS has the hash of
  the signed file;
- the same sources copied to another folder and built there, later, give
  the executable byte for byte; and the signed release, its signature taken
  off as README says, is that executable, as SHA256SUMS says;
- with a wrong password, or a password variable that is not set: the build
  fails and dist/ holds no executable, not even one from an earlier release.

Usage: check_release.py <cmake> <make_dist.cmake> <exe> <make_test_pfx.sh> <work folder>
                        <source folder> <configure arguments of exe's build...>
"""
import hashlib
import os
import shutil
import subprocess
import sys

cmake, script, exe, make_pfx, work, source = sys.argv[1:7]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    print(("ok    " if condition else "FAIL  ") + what)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def output(args, **options):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **options)


def release(dist, env_extra=None, **definitions):
    env = dict(os.environ)
    env.pop("PELORIN_TEST_PASSWORD", None)
    env.update(env_extra or {})
    args = [cmake, "-DEXECUTABLE=" + exe, "-DDIST=" + dist, "-DWORK=" + dist + "-work"]
    args += ["-D%s=%s" % item for item in definitions.items()]
    args += ["-P", script]
    return output(args, env=env)


def verifies(path, cafile):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", cafile, "-in", path],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def sums_line(dist):
    with open(os.path.join(dist, "SHA256SUMS")) as f:
        return f.read()


shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
signing = os.path.join(work, "signing")
subprocess.run(["bash", make_pfx, signing], check=True)
pfx, cafile = os.path.join(signing, "test.pfx"), os.path.join(signing, "ca.crt")
key = {"PFX": pfx, "PASSWORD_ENV": "PELORIN_TEST_PASSWORD", "CAFILE": cafile}

# Someone else's build: the sources copied to another folder, built there later with the same options.
elsewhere = os.path.join(work, "elsewhere", "pelorin-src")
shutil.copytree(source, elsewhere, ignore=lambda d, names: {"build", "dist", ".git"} & set(names) if d == source else [])
options = [a.replace(source, elsewhere) for a in sys.argv[7:]] + ["-DPELORIN_WINE_TESTS=OFF"]
built = output([cmake, "-S", elsewhere, "-B", elsewhere + "/out"] + options)
built = built if built.returncode else output([cmake, "--build", elsewhere + "/out", "--target", "Pelorin"])
theirs = os.path.join(elsewhere, "out", "Pelorin.exe")
check(built.returncode == 0, "the sources build in another folder" + ("" if built.returncode == 0 else ":\n" + built.stdout[-3000:]))
mine, other = open(exe, "rb").read(), (open(theirs, "rb").read() if built.returncode == 0 else b"")
check(mine == other, "built in another folder, later: the same bytes " +
      " ".join(hex(i) for i, (a, b) in enumerate(zip(mine, other)) if a != b)[:80])

# Unsigned.
dist = os.path.join(work, "unsigned")
run = release(dist)
shipped = os.path.join(dist, "Pelorin.exe")
check(run.returncode == 0, "unsigned release builds")
check("UNSIGNED" in run.stdout, "an unsigned release says so")
check(os.path.isfile(shipped) and sha256(shipped) == sha256(exe), "unsigned: the executable as built")
check(os.path.isfile(shipped) and not verifies(shipped, cafile), "unsigned: carries no signature")
check(os.path.isfile(shipped) and sums_line(dist) == "%s  Pelorin.exe\n" % sha256(shipped),
      "unsigned: SHA256SUMS holds its hash in sha256sum's format")
check(sorted(os.listdir(dist)) == ["Pelorin.exe", "SHA256SUMS"], "unsigned: nothing else in dist/")

# Signed with the test key.
dist = os.path.join(work, "signed")
run = release(dist, {"PELORIN_TEST_PASSWORD": "orvella-test"}, **key)
shipped = os.path.join(dist, "Pelorin.exe")
check(run.returncode == 0, "signed release builds" + ("" if run.returncode == 0 else ":\n" + run.stdout))
check("UNSIGNED" not in run.stdout and "signature verified" in run.stdout, "a signed release says so")
check(os.path.isfile(shipped) and verifies(shipped, cafile), "signed: the signature verifies against its authority")
check(os.path.isfile(shipped) and sha256(shipped) != sha256(exe), "signed: differs from the unsigned build")
check(os.path.isfile(shipped) and sums_line(dist) == "%s  Pelorin.exe\n%s  Pelorin.unsigned.exe\n" % (sha256(shipped), sha256(exe)),
      "signed: SHA256SUMS holds the hashes of the signed file and of the executable as built")
# What README tells anyone who built the tag to do.
output(["osslsigncode", "remove-signature", "-in", "Pelorin.exe", "-out", "Pelorin.unsigned.exe"], cwd=dist)
check(output(["sha256sum", "-c", "SHA256SUMS"], cwd=dist).returncode == 0, "signed: sha256sum -c passes once the signature is off")
stripped = os.path.join(dist, "Pelorin.unsigned.exe")
check(os.path.isfile(stripped) and other and open(stripped, "rb").read() == other,
      "signed: without its signature it is the executable built in another folder")

# A wrong password, then no password at all: the earlier release is taken
# away and nothing new is written.
for label, env in (("a wrong password", {"PELORIN_TEST_PASSWORD": "not-the-password"}), ("no password", {})):
    run = release(dist, env, **key)
    check(run.returncode != 0, "with %s the release fails" % label)
    check(not os.path.exists(shipped) and not os.path.exists(os.path.join(dist, "SHA256SUMS")),
          "with %s dist/ holds no executable and no hash" % label)

sys.exit(1 if failures else 0)
