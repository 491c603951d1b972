// Validates glTF files with the Khronos glTF validator.
//   node validate.js FILE...
// Prints a summary line per file; exits 1 if any file has an error.
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function validate(file) {
  const bytes = new Uint8Array(fs.readFileSync(file));
  const report = await validator.validateBytes(bytes, {
    uri: path.basename(file),
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        fs.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri)), (err, data) =>
          err ? reject(err.toString()) : resolve(new Uint8Array(data)));
      }),
  });
  const issues = report.issues;
  console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos`);
  for (const message of issues.messages) {
    if (message.severity === 0) console.log(`  error ${message.code} at ${message.pointer}: ${message.message}`);
  }
  return issues.numErrors === 0;
}

(async () => {
  let ok = process.argv.length > 2;
  for (const file of process.argv.slice(2)) ok = (await validate(file)) && ok;
  process.exit(ok ? 0 : 1);
})().catch((error) => {
  console.error(error);
  process.exit(2);
});
