#!/usr/bin/env python3
"""Generates the reflection code of one module: <Header>.generated.h and <Header>.gen.cpp for every reflected header."""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from khtool.emit import generated_header, generated_source  # noqa: E402
from khtool.errors import HeaderError  # noqa: E402
from khtool.parser import parse_header  # noqa: E402
from khtool.types import resolve  # noqa: E402


def write_if_changed(path, text):
    """Leaves unchanged files alone so that the build does not recompile what did not change."""
    try:
        with open(path, encoding="utf-8") as existing:
            if existing.read() == text:
                return
    except FileNotFoundError:
        pass
    with open(path, "w", encoding="utf-8") as output:
        output.write(text)


def main():
    arguments = argparse.ArgumentParser(description=__doc__)
    arguments.add_argument("--module", required=True, help="module name, e.g. Karvel")
    arguments.add_argument("--module-dir", required=True, help="directory that ModuleRelativePath is relative to")
    arguments.add_argument("--package", required=True, help='script package, e.g. "/Script/Karvel"')
    arguments.add_argument("--output-dir", required=True)
    arguments.add_argument("headers", nargs="+")
    options = arguments.parse_args()

    try:
        headers = []
        for path in options.headers:
            with open(path, encoding="utf-8-sig") as source:
                relative = os.path.relpath(path, options.module_dir).replace(os.sep, "/")
                headers.append(parse_header(path, relative, source.read()))
        resolve(headers)
    except HeaderError as error:
        print(error, file=sys.stderr)
        return 1

    os.makedirs(options.output_dir, exist_ok=True)
    for header in headers:
        write_if_changed(os.path.join(options.output_dir, f"{header.stem}.generated.h"), generated_header(header, options.module))
        write_if_changed(os.path.join(options.output_dir, f"{header.stem}.gen.cpp"), generated_source(header, options.module, options.package))
    return 0


if __name__ == "__main__":
    sys.exit(main())
