#!/usr/bin/env bash
# Refreshes the address lists in data/ from the npm registry, for a
# maintainer (the build never needs the network):
#   data/disposable-domains.txt  npm package disposable-email-domains
#   data/free-domains.txt        npm package free-email-domains
#   data/role-names.txt          the names of our selection that the npm
#                                package role-based-email-addresses still has
# Each package's licence must still be MIT (packaging/copyright names them);
# the script stops otherwise. Needs npm and node. Review the diff, then commit.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in npm node; do
  command -v "$tool" >/dev/null || { echo "$tool is needed (apt-get install npm)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# unpack NAME: the package's files in $work/NAME/package.
unpack() {
  mkdir -p "$work/$1"
  (cd "$work/$1" && npm pack --silent "$1" >/dev/null && tar xzf ./*.tgz)
  local license
  license=$(node -p "require('$work/$1/package/package.json').license")
  [ "$license" = MIT ] || { echo "$1 is now under '$license': check packaging/copyright" >&2; exit 1; }
}

for package in disposable-email-domains free-email-domains role-based-email-addresses; do
  unpack "$package"
done

# The lists are written by node from the packages' JSON and JavaScript, with
# a header that names the source.
node - "$work" <<'JS'
const fs = require('fs');
const [work] = process.argv.slice(2);
const pkg = (name) => `${work}/${name}/package`;
const version = (name) => require(`${pkg(name)}/package.json`).version;
const header = (what, name) =>
  `# ${what}\n# From the npm package ${name} ${version(name)} (MIT licence, see\n` +
  `# packaging/copyright); refreshed by scripts/update-domain-lists.sh.\n`;
const sorted = (names) => [...new Set(names.map((n) => n.trim().toLowerCase()))].filter(Boolean).sort();

const disposable = 'disposable-email-domains';
const exact = sorted(require(`${pkg(disposable)}/index.json`));
const wild = sorted(require(`${pkg(disposable)}/wildcard.json`)).map((n) => `*.${n}`);
fs.writeFileSync('data/disposable-domains.txt',
  header('Domains of throw-away mail services. "*.NAME": every name below NAME.', disposable) +
  [...exact, ...wild].join('\n') + '\n');

const free = 'free-email-domains';
fs.writeFileSync('data/free-domains.txt',
  header('Domains of free-mail providers.', free) +
  sorted(require(`${pkg(free)}/domains.json`)).join('\n') + '\n');

// Our selection of about a hundred names that always name a function; the
// package's other names (cities, first names, numbers) would flag people.
const role = 'role-based-email-addresses';
const offered = new Set(require(`${pkg(role)}/src/index.js`));
const lines = fs.readFileSync('data/role-names.txt', 'utf8').split('\n');
const kept = lines.filter((l) => l.startsWith('#')).slice(0, 2).map((l) => l + '\n').join('');
const names = lines.filter((l) => l && !l.startsWith('#'));
const still = names.filter((n) => offered.has(n));
fs.writeFileSync('data/role-names.txt',
  kept + `# From the npm package ${role} ${version(role)} (MIT licence, see\n` +
  `# packaging/copyright); refreshed by scripts/update-domain-lists.sh.\n` +
  still.join('\n') + '\n');
console.log(`disposable: ${exact.length} domains, ${wild.length} wildcards`);
console.log(`free: ${sorted(require(`${pkg(free)}/domains.json`)).length} domains`);
console.log(`role: ${still.length} names kept` +
  (names.length > still.length ? `, dropped (no longer in the package): ${names.filter((n) => !offered.has(n)).join(' ')}` : ''));
JS
echo "Review with: git diff --stat data/"
