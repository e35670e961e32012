"""Prints where this interpreter's packages go under an install prefix.

Usage: python site_dir.py PREFIX

The first line is the folder relative to PREFIX; the second is "searched"
when the interpreter looks there on its own (Debian's dist-packages for /usr
and /usr/local, the user's site-packages for ~/.local, a virtual
environment's site-packages), and "not searched" when it needs PYTHONPATH.
"""

import os
import site
import sys


def searched_folders():
    folders = {os.path.realpath(p) for p in sys.path if p}
    folders.add(os.path.realpath(site.getusersitepackages()))
    return folders


def main(prefix):
    version = "python%d.%d" % sys.version_info[:2]
    candidates = [
        "lib/python3/dist-packages",
        "lib/%s/dist-packages" % version,
        "lib/%s/site-packages" % version,
    ]
    searched = searched_folders()
    for folder in candidates:
        if os.path.realpath(os.path.join(prefix, folder)) in searched:
            print(folder + "\nsearched")
            return
    print(candidates[-1] + "\nnot searched")


if __name__ == "__main__":
    main(sys.argv[1])
