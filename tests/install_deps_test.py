#!/usr/bin/env python3
"""scripts/install-deps.sh against stand-ins for apt-get and dpkg on the PATH, as root: whatever
a mirror does to the optional package, the required ones are installed and the run exits 0."""
import os
import subprocess
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts",
                      "install-deps.sh")
OPTIONAL = "wine32:i386"

STAND_INS = {
    "id": 'echo 0\n',
    "dpkg": 'echo i386\n',
    "npm": 'echo "npm $*" >>"$STATE/calls"\n',
    "dpkg-query": 'grep -qx -- "${@: -1}" "$STATE/installed" && echo "install ok installed"\n',
    # FAKE_UPDATE: fails or works; FAKE_OPTIONAL: works, held (only with the versions held) or
    # never.
    "apt-get": r'''echo "$*" >>"$STATE/calls"
if [ "$1" = update ]; then
    [ "$FAKE_UPDATE" = works ] && exit 0
    echo "E: Failed to fetch http://mirror/i386/Packages.xz  File has unexpected size"
    exit 100
fi
packages=() held=
while [ $# -gt 0 ]; do
    case $1 in
        -o) [[ $2 == Dir::Etc::Preferences=* ]] && held=1; shift ;;
        -*|install) ;;
        *) packages+=("$1") ;;
    esac
    shift
done
if [[ " ${packages[*]} " == *" wine32:i386 "* ]] && { [ "$FAKE_OPTIONAL" = never ] ||
        { [ "$FAKE_OPTIONAL" = held ] && [ -z "$held" ]; }; }; then
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
fi
printf '%s\n' "${packages[@]}" >>"$STATE/installed"
''',
}


class InstallDeps(unittest.TestCase):
    def test_required_packages_install_whatever_the_mirror_does(self):
        rows = [  # update, optional install, optional installed, lines the run must print
            ("fails", "works", True,
             ["not updated: http://mirror/i386/Packages.xz (File has unexpected size); going on "
              "with the lists that were read"]),
            ("works", "held", True,
             ["apt-get install refused (E: Unable to correct problems, you have held broken "
              "packages.); trying again with both architectures held at"]),
            ("fails", "never", False,
             ["not installed: wine32:i386 (E: Unable to correct problems, you have held broken "
              "packages.); the tests that need it take their fallback"]),
        ]
        for update, optional, has_optional, lines in rows:
            with self.subTest(update=update, optional=optional), \
                    tempfile.TemporaryDirectory() as state:
                done, installed = self.run_script(state, update, optional)
                self.assertEqual(done.returncode, 0, done.stdout)
                for line in lines:
                    self.assertIn(line, done.stdout)
                self.assertEqual(OPTIONAL in installed, has_optional)
                required = done.stdout.split("installing: ", 1)[1].split("\n", 1)[0].split()
                self.assertTrue(required and set(required) <= installed, done.stdout)

    def run_script(self, state, update, optional):
        bin_dir = os.path.join(state, "bin")
        os.mkdir(bin_dir)
        for name, body in STAND_INS.items():
            with open(os.path.join(bin_dir, name), "w") as f:
                f.write("#!/usr/bin/env bash\n" + body)
            os.chmod(os.path.join(bin_dir, name), 0o755)
        open(os.path.join(state, "installed"), "w").close()
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"], STATE=state,
                   FAKE_UPDATE=update, FAKE_OPTIONAL=optional)
        done = subprocess.run(["bash", SCRIPT], env=env, capture_output=True, text=True,
                              stdin=subprocess.DEVNULL)
        with open(os.path.join(state, "installed")) as f:
            return done, set(f.read().split())


if __name__ == "__main__":
    unittest.main()
