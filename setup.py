"""Builds the glossmith Python package with CMake, for the interpreter that runs it.

pip and `python -m build` call this through setuptools (pyproject.toml). The
extension module is the project's own CMake target _glossmith, configured with
GLOSSMITH_PYTHON_ONLY (no Qt, no programs, no tests) and linked with the
library inside it, so that the wheel needs nothing of libglossmith on the
machine it is installed on.
"""

import hashlib
import os
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    # CMakeLists.txt holds the one version number of the project.
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(Glossmith VERSION ([0-9.]+)", text)
    if not match:
        raise RuntimeError("no project version in CMakeLists.txt")
    return match.group(1)


class CMakeExtension(Extension):
    def __init__(self, name, target):
        super().__init__(name, sources=[])
        self.target = target


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        # One CMake tree per installation of Python: two of the same version
        # (Debian's and pyenv's 3.11) have their own headers.
        tag = hashlib.sha256(sys.base_prefix.encode()).hexdigest()[:8]
        build_dir = Path(self.build_temp).resolve() / f"cmake-{tag}"
        build_dir.mkdir(parents=True, exist_ok=True)
        self._run(["cmake", "-S", str(ROOT), "-B", str(build_dir), *self._configure_args()])
        self._run(["cmake", "--build", str(build_dir), "--target", ext.target,
                   "-j", str(self._jobs())])
        built = build_dir / "python" / "glossmith" / Path(self.get_ext_filename(ext.name)).name
        if not built.exists():
            raise RuntimeError(f"CMake did not build {built}")
        destination = Path(self.get_ext_fullpath(ext.name))
        destination.parent.mkdir(parents=True, exist_ok=True)
        self.copy_file(str(built), str(destination))

    @staticmethod
    def _configure_args():
        return [
            "-DCMAKE_BUILD_TYPE=Release",
            "-DGLOSSMITH_PYTHON_ONLY=ON",
            "-DGLOSSMITH_PYTHON_STATIC=ON",
            f"-DGLOSSMITH_PYTHON={sys.executable}",
            *os.environ.get("GLOSSMITH_CMAKE_ARGS", "").split(),
        ]

    def _jobs(self):
        # build_ext's -j, else CMake's usual variable, else every processor.
        return (self.parallel or os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL")
                or os.cpu_count() or 1)

    @staticmethod
    def _run(command):
        print(" ".join(command), flush=True)
        subprocess.run(command, check=True)


commands = {"build_ext": CMakeBuild}
try:
    # Named here, so that setuptools older than 61, which looks for commands
    # only among installed distributions, finds a wheel lent from a file
    # (python/backend).
    from wheel.bdist_wheel import bdist_wheel

    commands["bdist_wheel"] = bdist_wheel
except ImportError:
    pass

setup(
    name="glossmith",
    version=project_version(),
    description="Translations between plain English and L33T, exactly as the Glossmith window "
    "makes them",
    long_description=(ROOT / "README.md").read_text(encoding="utf-8"),
    long_description_content_type="text/markdown",
    license="LicenseRef-proprietary: all rights reserved",
    classifiers=[
        "License :: Other/Proprietary License",
        "Programming Language :: Python :: 3",
        "Programming Language :: C++",
        "Operating System :: POSIX :: Linux",
        "Typing :: Typed",
    ],
    python_requires=">=3.9",
    package_dir={"": "python"},
    packages=["glossmith"],
    package_data={"glossmith": ["__init__.pyi", "py.typed"]},
    include_package_data=False,
    # build/ is the CMake presets' own build tree.
    options={"build": {"build_base": "build-python"}},
    ext_modules=[CMakeExtension("glossmith._glossmith", target="_glossmith")],
    cmdclass=commands,
)
