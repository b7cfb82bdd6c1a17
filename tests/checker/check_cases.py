#!/usr/bin/env python3
"""Tests of velloran-check over the setup files in cases/, one per trap.

reports           text output against <case>.expected (--update rewrites
                  them), --quiet, --json (strict UTF-8 JSON whose findings
                  match the text) and the exit status; the examples and the
                  README's sample setup file give no findings
secrets           a marker password in every place a value can take never
                  shows in any output format, on stdout or stderr
exit-codes        files that cannot be read, refused paths, files that are
                  not regular (a FIFO, a device, a pipe as /dev/stdin) or
                  over the size limit, bad usage
plan-matches-run  the JSON plan against the installer calls velloran makes
                  on the same file, through the recording fake installer
generated         a list that fills the key-name limit, a UTF-16 file
many-sections     200,000 sections, half of them repeated, under CTest's
                  timeout: the checker must stay linear in sections
"""
import argparse
import codecs
import json
import os
import shutil
import re
import subprocess
import sys
import tempfile

# JSON strings carry each byte that is not UTF-8 as \u00XX.
codecs.register_error("bytes_as_latin1", lambda e: (e.object[e.start:e.end].decode("latin-1"), e.end))
FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)


def run(args, cwd=None, env=None, stdin=None):
    done = subprocess.run(args, cwd=cwd, env=env, input=stdin, capture_output=True, timeout=120)
    return done.returncode, done.stdout


def run_errors(args, stdin=None):
    done = subprocess.run(args, input=stdin, capture_output=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


def cases(options):
    return sorted(f for f in os.listdir(options.cases) if f.endswith(".ini"))


def text_findings(text):
    """(line, kind) of each finding block in the text report."""
    found = []
    for line in text.splitlines():
        m = re.match(r"^  (?:line (\d+), )?.* \(([a-z-]+)\)$", line)
        if m:
            found.append((int(m.group(1) or 0), m.group(2)))
    return found


def load_json(output, name):
    try:
        return json.loads(output.decode("utf-8"))
    except (UnicodeDecodeError, ValueError) as error:
        FAILURES.append(f"{name}: --json output is not strict UTF-8 JSON: {error}")
        return None


def test_reports(options):
    for case in cases(options):
        status, text = run([options.checker, case], cwd=options.cases)
        golden = os.path.join(options.cases, case[:-4] + ".expected")
        if options.update:
            with open(golden, "wb") as f:
                f.write(text)
        with open(golden, "rb") as f:
            expected = f.read()
        check(text == expected, f"{case}: text report differs from {os.path.basename(golden)}")
        findings = text_findings(text.decode("latin-1"))
        check(status == (1 if findings else 0), f"{case}: exit status {status} with {len(findings)} findings")

        _, quiet = run([options.checker, "--quiet", case], cwd=options.cases)
        tail = text.split(b"\nFindings: ", 1)
        expected_quiet = tail[1].split(b"\n", 1)[1] if len(tail) == 2 else b""
        check(quiet == expected_quiet, f"{case}: --quiet is not the findings of the full report")

        for flags in (["--json"], ["--json", "--quiet"]):
            status, output = run([options.checker] + flags + [case], cwd=options.cases)
            report = load_json(output, f"{case} {flags}")
            if report is None:
                continue
            check(status == (1 if findings else 0), f"{case} {flags}: exit status {status}")
            check([(f["line"], f["kind"]) for f in report["findings"]] == findings,
                  f"{case} {flags}: JSON findings differ from the text report")
            check(("window" in report) != ("--quiet" in flags), f"{case} {flags}: plan shown or hidden wrongly")

    # Bytes that are not UTF-8 come back as \u00XX, and nothing is lost.
    _, output = run([options.checker, "--json", "non_utf8.ini"], cwd=options.cases)
    check(b'"Caf\\u00e9 \\"setup\\" \\\\ tab\\u0001x"' in output, "non_utf8.ini: caption escaping")
    report = load_json(output, "non_utf8.ini")
    if report:
        check(report["window"]["message"] == "Gr\u00fc\u00dfe", "non_utf8.ini: valid UTF-8 passes as is")
        check(report["drivers"][0]["elements"][1] == "Driver=C:\\odbc\\p\u00e9.dll", "non_utf8.ini: element escaping")
    test_clean_files(options)


def readme_sample(options):
    """The setup file the README shows under "The setup file"."""
    with open(os.path.join(options.source, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    section = readme.split("\n## The setup file\n", 1)[1]
    return section.split("```ini\n", 1)[1].split("```", 1)[0]


def test_clean_files(options):
    examples = os.path.join(options.source, "examples")
    with tempfile.TemporaryDirectory() as folder:
        sample = os.path.join(folder, "readme-sample.ini")
        with open(sample, "w", encoding="utf-8") as f:
            f.write(readme_sample(options))
        files = [os.path.join(examples, f) for f in sorted(os.listdir(examples)) if f.endswith(".ini")]
        for path in files + [sample]:
            status, output = run([options.checker, "--quiet", path])
            check(status == 0 and output == b"", f"{os.path.basename(path)} has findings: {output[:400]!r}")


def test_exit_codes(options):
    with tempfile.TemporaryDirectory() as folder:
        unreadable = os.path.join(folder, "unreadable.ini")
        with open(unreadable, "w") as f:
            f.write("[Drivers]\nDriver1=x\n")
        os.chmod(unreadable, 0)
        long_path = os.path.join(folder, "x" * (260 - len(folder) - 1))
        paths = [os.path.join(folder, "missing.ini"), folder, long_path]
        if not os.access(unreadable, os.R_OK):  # root reads it anyway
            paths.append(unreadable)
        for path in paths:
            status, output = run([options.checker, path])
            check(status == 2 and output == b"", f"{path[:60]}: exit status {status}, output {output[:80]!r}")
            status, output = run([options.checker, "--json", path])
            report = load_json(output, path)
            check(status == 2 and report is not None and report.get("error"), f"{path[:60]} --json: no error object")
    # Refused with their reason, never waited on or read without end.
    limit = 64 * 1024 * 1024
    with tempfile.TemporaryDirectory() as folder:
        fifo = os.path.join(folder, "fifo.ini")
        os.mkfifo(fifo)
        # A driver, then a comment that fills the file with a hole.
        at_limit = os.path.join(folder, "at_limit.ini")
        over = os.path.join(folder, "over.ini")
        for path, size in ((at_limit, limit), (over, limit + 1)):
            with open(path, "wb") as f:
                f.write(b"[Drivers]\nDriver1=A\n;")
                f.truncate(size)
        piped = b"[Drivers]\nDriver1=A\n"
        for path, stdin, reason in ((fifo, None, b"a pipe or FIFO"), ("/dev/zero", None, b"a device"),
                                    ("/dev/urandom", None, b"a device"), ("/dev/stdin", piped, b"a pipe or FIFO"),
                                    (over, None, b"larger than 64 MiB")):
            status, output, errors = run_errors([options.checker, path], stdin)
            check(status == 2 and output == b"" and reason in errors,
                  f"{path}: exit status {status}, output {output[:80]!r}, errors {errors[:200]!r}")
            status, output, _ = run_errors([options.checker, "--json", path], stdin)
            report = load_json(output, path)
            check(status == 2 and report is not None and reason.decode() in report.get("error", ""),
                  f"{path} --json: {output[:200]!r}")
        status, output = run([options.checker, "--json", "--quiet", at_limit])
        report = load_json(output, "at_limit.ini")
        check(status == 0 and report is not None and report.get("findings") == [],
              f"file at the size limit: {output[:200]!r}")
        os.remove(at_limit)
        os.remove(over)
    for usage in ([], ["--verbose", "x.ini"], ["a.ini", "b.ini"], [""]):
        status, _ = run([options.checker] + usage)
        check(status == 2, f"usage {usage}: exit status {status}")
    # --help and --version answer on stdout and exit 0, before any file.
    status, output = run([options.checker, "--help"])
    check(status == 0 and output.startswith(b"usage: velloran-check ") and b"--version" in output,
          f"--help: exit status {status}, output {output[:200]!r}")
    status, output = run([options.checker, "--version"])
    check(status == 0 and output == b"velloran-check 1.0.0\n",
          f"--version: exit status {status}, output {output[:80]!r}")
    status, _ = run([options.checker, "--", "--help"])
    check(status == 2, f"-- --help names a file: exit status {status}")


def unescape_log(text):
    out = bytearray()
    i = 0
    while i < len(text):
        if text[i] == "\\":
            if text[i + 1] == "0":
                out.append(0)
            elif text[i + 1] == "x":
                out.append(int(text[i + 2:i + 4], 16))
                i += 2
            else:
                out.append(ord(text[i + 1]))
            i += 2
        else:
            out.append(ord(text[i]))
            i += 1
    return bytes(out)


def elements(data):
    """The elements of a double-NUL-closed list, as the JSON report spells them."""
    items = []
    for part in data.split(b"\0"):
        if not part:
            break
        items.append(part.decode("utf-8", "bytes_as_latin1"))
    return items


def calls_of_run(options, path):
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "calls.log")
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        env.update(LD_LIBRARY_PATH=options.fake_dir, VELLORAN_FAKE_LOG=log, HOME=folder,
                   ODBCSYSINI=folder, ODBCINI=os.path.join(folder, "odbc.ini"))
        run([options.velloran, os.path.abspath(path)], env=env)
        lines = open(log, encoding="latin-1").read().splitlines() if os.path.exists(log) else []
    plan = {"driverManager": False, "translators": [], "drivers": [], "dataSources": []}
    for line in lines:
        fields = {k: unescape_log(v) for k, v in re.findall(r' (\w+)="((?:[^"\\]|\\.)*)"', line)}
        if line.startswith("SQLInstallDriverManager#"):
            plan["driverManager"] = True
        elif line.startswith("SQLInstallTranslatorEx#"):
            plan["translators"].append(elements(fields["spec"]))
        elif line.startswith("SQLInstallDriverEx#"):
            plan["drivers"].append(elements(fields["spec"]))
        elif line.startswith("SQLConfigDataSource#"):
            request = int(re.search(r" request=(\d+)", line).group(1))
            driver = fields["driver"].decode("utf-8", "bytes_as_latin1")
            plan["dataSources"].append((request, driver, elements(fields["attributes"])))
    return plan


MASK = "********"


def same_but_masks(planned, done):
    """Equal, but where the plan shows a masked value ("PWD=********", or
    "********" for the rest of one split by a \\0) the run may pass any."""
    if isinstance(planned, str) and isinstance(done, str) and planned.endswith(MASK):
        return done.startswith(planned[:-len(MASK)])
    if isinstance(planned, (list, tuple)) and isinstance(done, (list, tuple)):
        return len(planned) == len(done) and all(same_but_masks(p, d) for p, d in zip(planned, done))
    return planned == done


def test_plan_matches_run(options):
    files = [os.path.join(options.cases, c) for c in cases(options)]
    files += [os.path.join(options.scenarios, f) for f in sorted(os.listdir(options.scenarios)) if f.endswith(".ini")]
    for path in files:
        _, output = run([options.checker, "--json", path])
        report = load_json(output, path)
        if report is None:
            continue
        planned = {
            "driverManager": report["driverManager"],
            "translators": [e["elements"] for e in report["translators"]],
            "drivers": [e["elements"] for e in report["drivers"]],
            "dataSources": [(d["request"]["code"], d["driver"], d["attributes"]) for d in report["dataSources"]],
        }
        done = calls_of_run(options, path)
        for part in planned:
            check(same_but_masks(planned[part], done[part]), f"{os.path.basename(path)}: {part} planned {planned[part]!r:.200} "
                                               f"but the run made {done[part]!r:.200}")


def test_generated(options):
    with tempfile.TemporaryDirectory() as folder:
        # Every number a 15-character key name allows, and one more.
        full = os.path.join(folder, "full.ini")
        with open(full, "w") as f:
            f.write("[Translators]\n")
            f.writelines(f"Translator{n}=T\n" for n in range(1, 100001))
        status, output = run([options.checker, "--json", "--quiet", full])
        report = load_json(output, "full.ini")
        check(status == 1 and report and [(x["kind"], x["key"]) for x in report["findings"]]
              == [("key-limit", "Translator99999")], f"full list: {output[:300]!r}")
        check(report and "Translator100000" in report["findings"][0]["problem"], "full list: the lost key is named")

        # UTF-16 with a byte-order mark reads like its UTF-8 original.
        with open(os.path.join(options.cases, "clean.ini"), encoding="utf-8") as f:
            text = f.read()
        wide = os.path.join(folder, "clean16.ini")
        with open(wide, "w", encoding="utf-16") as f:
            f.write(text)
        status, output = run([options.checker, wide])
        _, original = run([options.checker, "clean.ini"], cwd=options.cases)
        check(status == 0 and output.split(b"\n", 1)[1] == original.split(b"\n", 1)[1], "UTF-16 file reads differently")


# A password that must never be printed. Any five characters of it in a row
# count as a leak, so a value cut or split in two is caught as well.
MARKER = "Qz7Vx3Kp9Wm2Jt5"
M = MARKER


def cut_at(attributes_before, cut_inside):
    """A list value whose 999-character buffer ends <cut_inside>
    characters into the marker (before it when negative)."""
    pad = 999 - len(attributes_before) - len("\\0PWD=") - cut_inside
    return attributes_before + "x" * pad + "\\0PWD=" + M + "\\0Database=/srv/after.db"


def data_source(attributes, request="ODBC_ADD_SYS_DSN"):
    return f"[Data Sources]\nDSDriver1=D\nDSAttrib1={attributes}\nDSRequest1={request}\n"


# Every place a value can take in a setup file (the installer's own error
# messages are velloran-apply's, not the checker's); user data sources and
# removals are in cases/shared_secrets.ini.
SECRET_PLACES = [
    ("driver list", f"[Drivers]\nDriver1=D\\0Driver=/d.so\\0PWD={M}\n"),
    ("translator list", f"[Translators]\nTranslator1=T\\0Translator=/t.so\\0Token={M}\n"),
    ("system data-source list", data_source(f"DSN=S\\0Password={M}")),
    ("every secret key", data_source("DSN=S\\0" + "\\0".join(
        f"{key}={M}{n}" for n, key in enumerate(
            ["PWD", "pwd", "DbPassword", "Passwd", "ClientSecret", "AccessToken", "AccessKey",
             "AuthenticationKey", "AccountKey", "APIKey", "PrivateKey"])))),
    ("quoted list", f'[Drivers]\nDriver1="D\\0Driver=/d.so\\0PWD={M}"\n'),
    ("value holding =", data_source(f"DSN=S\\0PWD=a={M}")),
    ("cut inside the value", data_source(cut_at("DSN=S\\0Database=", 7))),
    ("cut inside the key", data_source(cut_at("DSN=S\\0Database=", -2))),
    ("cut inside the \\0", data_source(cut_at("DSN=S\\0Database=", -5))),
    ("cut before the key", data_source(cut_at("DSN=S\\0Database=", -20))),
    ("cut at the last character", data_source("PWD=" + "y" * (999 - 4 - len(M)) + M)),
    ("\\0 inside the value", data_source(f"DSN=S\\0PWD={M[:7]}\\0{M[7:]}\\0Database=/x")),
    ("value after an empty element", data_source(f"DSN=S\\0\\0PWD={M}\\0Database=/x")),
    ("value after a leading \\0", data_source(f"\\0DSN=S\\0PWD={M}")),
    ("value after a gap in the list", f"[Drivers]\nDriver1=D\\0Driver=/d.so\nDriver3=E\\0PWD={M}\n"),
    ("data source after a gap", "[Data Sources]\nDSDriver1=D\nDSAttrib1=DSN=S\n"
                                f"DSDriver3=D\nDSAttrib3=DSN=T\\0PWD={M}\n"),
    ("comment-key element", data_source(f"DSN=S\\0;PWD={M}\\0 #Password={M}x")),
    ("bracket key", f"[Drivers]\nDriver1=D\\0[PWD]={M}\\0[Secret={M}y\n"),
    ("blanks around key and value", data_source(f"DSN=S\\0 PWD = {M} ")),
    ("key twice", data_source(f"DSN=S\\0PWD={M}\\0pwd={M}z")),
    ("unread key and section", f"[Data Sources]\nDSAtrib1=PWD={M}\n[Extras]\nPWD={M}\n"),
]


# Places whose value the run never reads, so the plan shows no mask either.
NEVER_READ = {"value after a gap in the list", "data source after a gap", "unread key and section"}


def leaks(output):
    text = output.decode("latin-1")
    return sorted({M[i:i + 5] for i in range(len(M) - 4) if M[i:i + 5] in text})


def report_leaks(place, program, streams):
    for stream, data in streams:
        found = leaks(data)
        if found:
            lines = [line for line in data.decode("latin-1").splitlines()
                     if any(part in line for part in found)]
            FAILURES.append(f"SECRET LEAKED ({place}, {program}, {stream}): "
                            f"{found} in\n    " + "\n    ".join(lines))


def apply_runs(options, folder, path):
    """velloran-apply over the file every way it reports: through the fake
    installer failing every call with a message that echoes the list it was
    given, and on the real unixODBC, where the changes carry the values
    (driver D has the setup library, so data sources are written)."""
    fake = {"LD_LIBRARY_PATH": options.fake_dir, "VELLORAN_FAKE_ERROR": "echo",
            "VELLORAN_FAKE_FAIL": "SQLInstallTranslatorEx#*,SQLInstallDriverEx#*,SQLConfigDataSource#*"}
    real = os.path.join(folder, "odbc")
    shutil.rmtree(real, ignore_errors=True)
    os.makedirs(real)
    with open(os.path.join(real, "odbcinst.ini"), "w") as f:
        f.write(f"[D]\nDriver=/d.so\nSetup={options.setup_library}\n")
    unix = {"ODBCSYSINI": real, "ODBCINI": os.path.join(real, "user.ini"), "HOME": real,
            "LSAN_OPTIONS": "detect_leaks=0"}
    log = os.path.join(folder, "apply.log")
    for settings, flags in [(fake, []), (fake, ["--json"]), (unix, ["--check", "--json"]),
                            (unix, ["--log", log]), (unix, ["--json"]), (unix, ["--list"]),
                            (unix, ["--list", "--json"])]:
        env = {k: v for k, v in os.environ.items() if not k.startswith(("ODBC", "VELLORAN_"))}
        env.update(settings)
        command = [options.apply] + flags + ([] if "--list" in flags else [path])
        done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        logged = open(log, "rb").read() if os.path.exists(log) else b""
        yield "velloran-apply " + " ".join(flags), done.returncode, done.stdout, done.stderr, logged


def test_secrets(options):
    with tempfile.TemporaryDirectory() as folder:
        for place, content in SECRET_PLACES:
            path = os.path.join(folder, "secret.ini")
            with open(path, "w", encoding="utf-8") as f:
                f.write(content)
            for flags in ([], ["--quiet"], ["--json"], ["--json", "--quiet"]):
                status, output, errors = run_errors([options.checker] + flags + [path])
                report_leaks(place, "velloran-check " + " ".join(flags), (("stdout", output), ("stderr", errors)))
                check(status in (0, 1), f"{place} {flags}: exit status {status}, stderr {errors[:200]!r}")
                if flags == [] and place not in NEVER_READ:
                    check(MASK.encode() in output, f"{place}: no {MASK} in the plan:\n{output.decode('latin-1')}")
            for program, status, output, errors, logged in apply_runs(options, folder, path):
                report_leaks(place, program, (("stdout", output), ("stderr", errors), ("log", logged)))
                check(status in (0, 1), f"{place} {program}: exit status {status}, stderr {errors[:200]!r}")


def test_many_sections(options):
    # Quadratic work shows as CTest's timeout long before it shows here.
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "sections.ini")
        with open(path, "w") as f:
            f.writelines(f"[Section{n % 100000}]\nKey=v\n" for n in range(200000))
        status, output = run([options.checker, "--json", "--quiet", path])
        report = load_json(output, "sections.ini")
        kinds = [x["kind"] for x in report["findings"]] if report else []
        check(status == 1 and kinds.count("unknown-section") == 100000 and kinds.count("duplicate-section") == 100000,
              f"200,000 sections: exit status {status}, {len(kinds)} findings")
        check(report and report["findings"][-1]["problem"].startswith("[Section99999] appears again; only the one on line 199999 "),
              "200,000 sections: the repeat does not point at the first")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("group", choices=["reports", "exit-codes", "plan-matches-run", "generated", "many-sections",
                                          "secrets"])
    for name in ("checker", "velloran", "apply", "setup-library", "fake-dir", "cases", "scenarios",
                 "source"):
        parser.add_argument("--" + name)
    parser.add_argument("--update", action="store_true", help="rewrite the .expected files")
    options = parser.parse_args()
    {"reports": test_reports, "exit-codes": test_exit_codes,
     "plan-matches-run": test_plan_matches_run, "generated": test_generated,
     "many-sections": test_many_sections, "secrets": test_secrets}[options.group](options)
    for failure in FAILURES:
        print("FAIL:", failure)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
