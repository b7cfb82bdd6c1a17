#!/bin/sh
# ansible-test sanity on the velloran.odbc collection, offline.
# ansible-test runs each test in a virtualenv of its own that it fills from
# PyPI, which CI cannot reach. Each virtualenv is made here instead from
# Debian's Python with its system packages (ansible-core, pylint, yamllint,
# pycodestyle, voluptuous) and marked complete, so ansible-test takes it as
# it is: the tests are ansible-test's own, the linters Debian's versions.
set -eu
collection=$1
python=/usr/bin/python3
for tool in ansible-test ansible-doc ansible-galaxy $python; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
for module in pylint yamllint pycodestyle voluptuous; do
    $python -c "import $module" 2>/dev/null || { echo "SKIP: Python module $module is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" LANG=C.UTF-8 LC_ALL=C.UTF-8 ANSIBLE_COLLECTIONS_PATH="$work"
mkdir "$HOME"
tree="$work/ansible_collections/velloran/odbc"
mkdir -p "$(dirname "$tree")"
cp -R "$collection" "$tree"
rm -rf "$tree/tests/output"
cd "$tree"
version=$($python -c 'import sys; print("%d.%d" % sys.version_info[:2])')

# Each round names the next virtualenv ansible-test could not fill.
rounds=0
while :; do
    out=$(ansible-test sanity --local --python "$version" --prime-venvs 2>&1) && break
    venv=$(printf '%s\n' "$out" | sed -n "s|.*\($HOME/\.ansible/test/venv/[^\"]*\)/bin/python.*|\1|p" | head -n 1)
    rounds=$((rounds + 1))
    if [ -z "$venv" ] || [ $rounds -gt 30 ]; then
        printf '%s\n' "$out"; echo "could not prepare ansible-test's virtualenvs"; exit 1
    fi
    rm -rf "$venv"
    $python -m venv --system-site-packages --without-pip "$venv"
    echo '[]' >"$venv/meta.install.json"
    echo '{"yaml": true, "cloader": true}' >"$venv/meta.yaml.json"
    touch "$venv/marker.txt"
done
ansible-test sanity --local --python "$version" --color no

# What ansible-test does not look at: the role's documentation, the test
# playbooks, and that the collection builds.
ansible-doc -t role velloran.odbc.provision >/dev/null
ansible-galaxy collection build --output-path "$work/build" >/dev/null
echo "sanity ok"
