#!/usr/bin/env python3
"""Validates pigmora jobs against the job schema with python3-jsonschema.

usage: validate_jobs.py SCHEMA [--invalid] FILE...
       validate_jobs.py --write DIR FILE...

A .json file is one job. A .md file contributes every JSON value in its ```json blocks: a value
with "steps" is a job, a value with "step" is a step, checked as a job of that one step.
Without --invalid every job must be valid; with it every job must be invalid. Prints one line
per job that breaks the rule and exits 1 if there is any.

With --write the jobs are written into DIR for `pigmora check`, the steps of the markdown files
gathered into as few jobs as their object and material names allow (a name may be given once per
job), and the paths written are printed one a line.
"""
import json
import sys

from jsonschema import Draft202012Validator


def values_in_markdown(path):
    text = open(path, encoding="utf-8").read()
    blocks, inside, current = [], False, []
    for line in text.splitlines():
        if line.strip().startswith("```"):
            if inside:
                blocks.append("\n".join(current))
                current = []
            inside = line.strip() == "```json"
            continue
        if inside:
            current.append(line)
    decoder = json.JSONDecoder()
    for n, block in enumerate(blocks, 1):
        at = 0
        while True:
            while at < len(block) and block[at].isspace():
                at += 1
            if at >= len(block):
                break
            value, at = decoder.raw_decode(block, at)
            yield "%s block %d" % (path, n), value


def jobs(paths):
    for path in paths:
        if path.endswith(".md"):
            for where, value in values_in_markdown(path):
                if isinstance(value, dict) and "step" in value:
                    value = {"steps": [value]}
                yield where, value
        else:
            yield path, json.load(open(path, encoding="utf-8"))


def gathered(paths):
    """The jobs, with single steps joined into jobs where their names do not clash."""
    current, names = [], set()
    for path in paths:
        if not path.endswith(".md"):
            yield json.load(open(path, encoding="utf-8"))
            continue
        for _, value in values_in_markdown(path):
            if not (isinstance(value, dict) and "step" in value):
                yield value
                continue
            name = None
            if value.get("step") in ("object", "camera", "material") and "name" in value:
                kind = "material" if value["step"] == "material" else "object"
                name = (kind, value["name"])
            if name in names:
                yield {"steps": current}
                current, names = [], set()
            if name:
                names.add(name)
            current.append(value)
    if current:
        yield {"steps": current}


def write(argv):
    folder = argv[2]
    for n, job in enumerate(gathered(argv[3:])):
        path = "%s/example_%03d.json" % (folder, n)
        with open(path, "w", encoding="utf-8") as f:
            json.dump(job, f)
        print(path)
    return 0


def main(argv):
    if len(argv) > 2 and argv[1] == "--write":
        return write(argv)
    schema = json.load(open(argv[1], encoding="utf-8"))
    Draft202012Validator.check_schema(schema)
    validator = Draft202012Validator(schema)
    want_valid = "--invalid" not in argv
    files = [a for a in argv[2:] if a != "--invalid"]
    bad = 0
    count = 0
    for where, job in jobs(files):
        count += 1
        errors = list(validator.iter_errors(job))
        if want_valid and errors:
            bad += 1
            print("%s: %s" % (where, errors[0].message))
        if not want_valid and not errors:
            bad += 1
            print("%s: accepted, but should be refused: %s" % (where, json.dumps(job)))
    print("%d jobs checked" % count)
    return 1 if bad or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
